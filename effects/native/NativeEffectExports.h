#pragma once
// The nine C exports of a native effect plug-in, written once for all effects.
//
// An effect's module has one source line naming its class:
//
//   ZONDA_NATIVE_EFFECT_EXPORTS(zonda::fx::TEcho)
//
// The class derives from TNativeEffect, has a default constructor and a
// `static constexpr const char* kName`. Only these nine symbols leave the
// module (exports.map); nothing throws across the C boundary: a failed
// "create" returns 0, and every call on instance 0 or a null block does nothing.
//
// Threads: "process" on the audio thread, every other export on the main thread.
#include <cstdint>
#include <memory>
#include <new>

#include "effects/NativeEffectAbi.h"
#include "effects/native/NativeEffectInstance.h"

namespace zonda::fx {

template <class Effect>
intptr_t CreateNativeEffect(void* mainWindow) noexcept {
  try {
    auto instance = std::make_unique<TNativeEffectInstance>(std::make_unique<Effect>(), Effect::kName, mainWindow);
    return reinterpret_cast<intptr_t>(instance.release());
  } catch (...) {
    return 0;
  }
}

void DestroyNativeEffect(intptr_t instance) noexcept;
void EditNativeEffect(intptr_t instance) noexcept;
void StartNativeEffect(intptr_t instance) noexcept;
void StopNativeEffect(intptr_t instance) noexcept;
// bytes = frames x 4; a trailing partial frame is left as it is.
void ProcessNativeEffect(intptr_t instance, int16_t* block, int32_t bytes, double tempoBpm) noexcept;

}  // namespace zonda::fx

#define ZONDA_FX_EXPORT extern "C" __attribute__((visibility("default")))

#define ZONDA_NATIVE_EFFECT_EXPORTS(EffectClass)                                                    \
  ZONDA_FX_EXPORT int32_t getdspversion(void) { return ZONDA_NATIVE_EFFECT_VERSION; }               \
  ZONDA_FX_EXPORT intptr_t create(void* mainWindow) {                                               \
    return ::zonda::fx::CreateNativeEffect<EffectClass>(mainWindow);                                \
  }                                                                                                 \
  ZONDA_FX_EXPORT const char* getname(void) { return EffectClass::kName; }                          \
  ZONDA_FX_EXPORT void destroy(intptr_t instance) { ::zonda::fx::DestroyNativeEffect(instance); }   \
  ZONDA_FX_EXPORT void edit(intptr_t instance) { ::zonda::fx::EditNativeEffect(instance); }         \
  ZONDA_FX_EXPORT void start(intptr_t instance) { ::zonda::fx::StartNativeEffect(instance); }       \
  ZONDA_FX_EXPORT void stop(intptr_t instance) { ::zonda::fx::StopNativeEffect(instance); }         \
  ZONDA_FX_EXPORT void clear(void) {}                                                               \
  ZONDA_FX_EXPORT void process(intptr_t instance, int16_t* block, int32_t bytes, double tempoBpm) { \
    ::zonda::fx::ProcessNativeEffect(instance, block, bytes, tempoBpm);                             \
  }
