#pragma once
// Counts heap allocations and frees made by the calling thread while a piece
// of code runs, for the tests that prove an audio path never allocates.
// Linking a test that calls CountAllocations pulls in AllocationCounter.cpp,
// which replaces the global operator new/delete for that executable.
//
//   EXPECT_EQ(zonda::test::CountAllocations([&] { mixer.MixBlock(...); }), 0);
#include <utility>

namespace zonda::test {

void BeginCountingAllocations();
// Ends counting on this thread; returns the calls made since the begin.
int EndCountingAllocations();

template <class F>
int CountAllocations(F&& f) {
  BeginCountingAllocations();
  std::forward<F>(f)();
  return EndCountingAllocations();
}

}  // namespace zonda::test
