// The nine C exports of echo.so.
#include "effects/native/NativeEffectExports.h"
#include "effects/native/echo/Echo.h"

ZONDA_NATIVE_EFFECT_EXPORTS(zonda::fx::TEcho)
