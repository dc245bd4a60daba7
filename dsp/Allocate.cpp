#include "dsp/Allocate.h"

#include <algorithm>
#include <cstring>

namespace zonda {

TAllocate& TAllocate::Instance() {
  static TAllocate pool;
  return pool;
}

TAllocate::Block TAllocate::Get(size_t bytes) {
  if (bytes == 0) return Block{};
  std::lock_guard<std::mutex> guard(lock_);
  for (Entry& e : blocks_) {
    if (!e.inUse && e.size == bytes) {
      e.inUse = true;
      std::memset(e.data.get(), 0, bytes);  // a returned block still holds its old content
      return Block(this, e.data.get(), bytes);
    }
  }
  std::erase_if(blocks_, [](const Entry& e) { return !e.inUse; });
  Entry e;
  e.data = std::make_unique<std::byte[]>(bytes);  // value-initialised: zeros
  e.size = bytes;
  e.inUse = true;
  std::byte* data = e.data.get();
  blocks_.push_back(std::move(e));
  return Block(this, data, bytes);
}

void TAllocate::Release(std::byte* data) noexcept {
  std::lock_guard<std::mutex> guard(lock_);
  for (Entry& e : blocks_) {
    if (e.data.get() == data) {
      e.inUse = false;
      return;
    }
  }
}

size_t TAllocate::BlockCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return blocks_.size();
}

size_t TAllocate::FreeCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return static_cast<size_t>(std::count_if(blocks_.begin(), blocks_.end(), [](const Entry& e) { return !e.inUse; }));
}

}  // namespace zonda
