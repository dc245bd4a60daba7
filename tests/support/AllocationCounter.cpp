#include "tests/support/AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

thread_local bool tCounting = false;
thread_local int tStart = 0;
std::atomic<int> gAllocations{0};

void* CountedAlloc(std::size_t n) {
  if (tCounting) gAllocations.fetch_add(1);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}

void CountedFree(void* p) noexcept {
  if (tCounting && p) gAllocations.fetch_add(1);
  std::free(p);
}

}  // namespace

void* operator new(std::size_t n) { return CountedAlloc(n); }
void* operator new[](std::size_t n) { return CountedAlloc(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return CountedAlloc(n);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { CountedFree(p); }
void operator delete[](void* p) noexcept { CountedFree(p); }
void operator delete(void* p, std::size_t) noexcept { CountedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { CountedFree(p); }

namespace zonda::test {

void BeginCountingAllocations() {
  tStart = gAllocations.load();
  tCounting = true;
}

int EndCountingAllocations() {
  tCounting = false;
  return gAllocations.load() - tStart;
}

}  // namespace zonda::test
