// The nine C exports of filtersweep.so.
#include "effects/native/NativeEffectExports.h"
#include "effects/native/filtersweep/FilterSweep.h"

ZONDA_NATIVE_EFFECT_EXPORTS(zonda::fx::TFilterSweep)
