#include "effects/native/NativeEffectExports.h"

#include "effects/native/ScopedNoDenormals.h"

namespace zonda::fx {
namespace {

TNativeEffectInstance* FromHandle(intptr_t instance) noexcept {
  return reinterpret_cast<TNativeEffectInstance*>(instance);
}

}  // namespace

void DestroyNativeEffect(intptr_t instance) noexcept {
  std::unique_ptr<TNativeEffectInstance> owned(FromHandle(instance));
}

void EditNativeEffect(intptr_t instance) noexcept {
  if (instance == 0) return;
  try {
    FromHandle(instance)->Edit();
  } catch (...) {
    // Out of memory while building widgets: the editor stays closed.
  }
}

void StartNativeEffect(intptr_t instance) noexcept {
  if (instance != 0) FromHandle(instance)->Effect().RequestReset();
}

// The slot stops calling "process"; the next "start" clears what is left.
void StopNativeEffect(intptr_t) noexcept {}

void ProcessNativeEffect(intptr_t instance, int16_t* block, int32_t bytes, double tempoBpm) noexcept {
  if (instance == 0 || block == nullptr || bytes < 4) return;
  const TScopedNoDenormals noDenormals;
  FromHandle(instance)->Effect().Process(block, bytes / 4, tempoBpm);
}

}  // namespace zonda::fx
