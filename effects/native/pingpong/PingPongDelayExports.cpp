// The nine C exports of pingpong.so.
#include "effects/native/NativeEffectExports.h"
#include "effects/native/pingpong/PingPongDelay.h"

ZONDA_NATIVE_EFFECT_EXPORTS(zonda::fx::TPingPongDelay)
