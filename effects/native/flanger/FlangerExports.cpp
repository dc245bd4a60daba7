// The nine C exports of flanger.so.
#include "effects/native/NativeEffectExports.h"
#include "effects/native/flanger/Flanger.h"

ZONDA_NATIVE_EFFECT_EXPORTS(zonda::fx::TFlanger)
