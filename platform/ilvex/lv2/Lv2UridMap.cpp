#include "platform/ilvex/lv2/Lv2UridMap.h"

#include <cstring>

namespace zonda::ilvex {

namespace {

LV2_URID MapCall(LV2_URID_Map_Handle handle, const char* uri) { return static_cast<Lv2UridMap*>(handle)->Map(uri); }
const char* UnmapCall(LV2_URID_Unmap_Handle handle, LV2_URID urid) {
  return static_cast<Lv2UridMap*>(handle)->Unmap(urid);
}

}  // namespace

Lv2UridMap::Lv2UridMap() : uris_(std::make_unique<std::unique_ptr<char[]>[]>(kCapacity)) {
  map_ = {this, &MapCall};
  unmap_ = {this, &UnmapCall};
  mapFeature_ = {LV2_URID__map, &map_};
  unmapFeature_ = {LV2_URID__unmap, &unmap_};
}

LV2_URID Lv2UridMap::Find(const char* uri, uint32_t from, uint32_t to) const {
  for (uint32_t i = from; i < to; ++i)
    if (std::strcmp(uris_[i].get(), uri) == 0) return i + 1;
  return 0;
}

LV2_URID Lv2UridMap::Map(const char* uri) {
  if (uri == nullptr) return 0;
  const uint32_t seen = count_.load(std::memory_order_acquire);
  if (LV2_URID found = Find(uri, 0, seen)) return found;
  std::lock_guard<std::mutex> guard(addLock_);
  const uint32_t now = count_.load(std::memory_order_relaxed);
  if (LV2_URID found = Find(uri, seen, now)) return found;
  if (now >= kCapacity) return 0;
  const size_t length = std::strlen(uri);
  auto copy = std::unique_ptr<char[]>(new (std::nothrow) char[length + 1]);
  if (!copy) return 0;
  std::memcpy(copy.get(), uri, length + 1);
  uris_[now] = std::move(copy);
  count_.store(now + 1, std::memory_order_release);
  return now + 1;
}

const char* Lv2UridMap::Unmap(LV2_URID urid) const {
  if (urid == 0 || urid > count_.load(std::memory_order_acquire)) return nullptr;
  return uris_[urid - 1].get();
}

}  // namespace zonda::ilvex
