// The nine C exports of phaser.so.
#include "effects/native/NativeEffectExports.h"
#include "effects/native/phaser/Phaser.h"

ZONDA_NATIVE_EFFECT_EXPORTS(zonda::fx::TPhaser)
