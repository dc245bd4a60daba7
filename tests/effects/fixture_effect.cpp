// A native effect for the slot tests: it inverts the signal (so wet and dry
// are told apart), counts its calls, and is built in variants that break the
// interface in one way each.
#include <algorithm>
#include <cstdint>

#include "effects/NativeEffectAbi.h"

namespace {
struct Instance {
  int64_t calls = 0;
  int64_t starts = 0, stops = 0, edits = 0;
  int16_t scratch[8];  // touched by every call: a freed instance shows up under ASan
};
}  // namespace

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT int32_t getdspversion() { return FIXTURE_VERSION; }
EXPORT intptr_t create(void*) {
#ifdef FIXTURE_CREATE_ZERO
  return 0;
#else
  return reinterpret_cast<intptr_t>(new Instance);
#endif
}
EXPORT const char* getname() { return "Fixture Inverter"; }
EXPORT void destroy(intptr_t i) { delete reinterpret_cast<Instance*>(i); }
EXPORT void edit(intptr_t i) { ++reinterpret_cast<Instance*>(i)->edits; }
EXPORT void start(intptr_t i) { ++reinterpret_cast<Instance*>(i)->starts; }
EXPORT void stop(intptr_t i) { ++reinterpret_cast<Instance*>(i)->stops; }
#ifndef FIXTURE_NO_CLEAR
EXPORT void clear() {}
#endif
EXPORT void process(intptr_t i, int16_t* block, int32_t bytes, double) {
  auto* inst = reinterpret_cast<Instance*>(i);
  ++inst->calls;
  // Long enough that an unload racing a block lands inside it.
  for (int k = 0; k < 4000; ++k) static_cast<volatile int16_t*>(inst->scratch)[k % 8] = block[0];
  for (int32_t k = 0; k < bytes / 2; ++k) block[k] = int16_t(std::clamp(-int32_t(block[k]), -32768, 32767));
}

// For the tests: what the instance saw.
EXPORT int64_t fixture_calls(intptr_t i) { return reinterpret_cast<Instance*>(i)->calls; }
EXPORT int64_t fixture_starts(intptr_t i) { return reinterpret_cast<Instance*>(i)->starts; }
EXPORT int64_t fixture_stops(intptr_t i) { return reinterpret_cast<Instance*>(i)->stops; }
EXPORT int64_t fixture_edits(intptr_t i) { return reinterpret_cast<Instance*>(i)->edits; }
