// The nine C exports of reverb.so.
#include "effects/native/NativeEffectExports.h"
#include "effects/native/reverb/Reverb.h"

ZONDA_NATIVE_EFFECT_EXPORTS(zonda::fx::TReverb)
