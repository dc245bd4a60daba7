// The nine C exports of bitcrusher.so.
#include "effects/native/NativeEffectExports.h"
#include "effects/native/bitcrusher/BitCrusher.h"

ZONDA_NATIVE_EFFECT_EXPORTS(zonda::fx::TBitCrusher)
