#pragma once
// Lv2UridMap: the urid:map and urid:unmap features handed to every LV2 plug-in.
//
// URIs are kept in a fixed table that only grows. Looking up a URI already in
// the table, and unmapping, read it without a lock, so a plug-in may map the
// URIs it learned at instantiation from its audio thread. Adding a new URI
// takes a mutex; the host maps everything it needs on the main thread first.
//
//   Lv2UridMap map;
//   LV2_URID sequence = map.Map(LV2_ATOM__Sequence);
//   const LV2_Feature* f = map.MapFeature();
//
// Threads: any.
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace zonda::ilvex {

class Lv2UridMap {
 public:
  // More distinct URIs than any plug-in collection uses; beyond it Map answers 0.
  static constexpr uint32_t kCapacity = 8192;

  Lv2UridMap();
  Lv2UridMap(const Lv2UridMap&) = delete;
  Lv2UridMap& operator=(const Lv2UridMap&) = delete;

  // 1.. for a URI (the same number every time); 0 for none or when full.
  LV2_URID Map(const char* uri);
  // The URI of `urid`, or nullptr when it was never given out.
  const char* Unmap(LV2_URID urid) const;
  uint32_t Size() const { return count_.load(std::memory_order_acquire); }

  const LV2_Feature* MapFeature() const { return &mapFeature_; }
  const LV2_Feature* UnmapFeature() const { return &unmapFeature_; }

 private:
  LV2_URID Find(const char* uri, uint32_t from, uint32_t to) const;

  std::unique_ptr<std::unique_ptr<char[]>[]> uris_;  // [0, count_) are published and never change
  std::atomic<uint32_t> count_{0};
  std::mutex addLock_;  // serialises additions only
  LV2_URID_Map map_{};
  LV2_URID_Unmap unmap_{};
  LV2_Feature mapFeature_{};
  LV2_Feature unmapFeature_{};
};

}  // namespace zonda::ilvex
