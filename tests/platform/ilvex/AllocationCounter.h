#pragma once
// Counts heap allocations made on one chosen thread (the audio thread), by
// replacing the global operator new. Include in exactly one file of a test
// program.
//
//   test::WatchAllocationsOnThisThread();   // from inside a callback, once
//   ... run ...
//   EXPECT_EQ(test::WatchedAllocations(), 0);
#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

namespace zonda::test {

inline std::atomic<std::thread::id> g_watchedThread{};
inline std::atomic<bool> g_watching{false};
inline std::atomic<long> g_watchedAllocations{0};

inline void WatchAllocationsOnThisThread() {
  g_watchedThread.store(std::this_thread::get_id());
  g_watching.store(true);
}
inline void StopWatchingAllocations() { g_watching.store(false); }
inline long WatchedAllocations() { return g_watchedAllocations.load(); }
inline void ResetWatchedAllocations() {
  g_watching.store(false);
  g_watchedAllocations.store(0);
}

inline void NoteAllocation() {
  if (g_watching.load(std::memory_order_relaxed) && g_watchedThread.load() == std::this_thread::get_id())
    g_watchedAllocations.fetch_add(1);
}

}  // namespace zonda::test

void* operator new(std::size_t size) {
  zonda::test::NoteAllocation();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
