// The nine C exports of gate.so.
#include "effects/native/NativeEffectExports.h"
#include "effects/native/gate/Gate.h"

ZONDA_NATIVE_EFFECT_EXPORTS(zonda::fx::TGate)
