#pragma once
// Counts pthread mutex locks taken by the calling thread while a piece of code
// runs, for the tests that prove an audio path never waits for another thread.
// Linking zonda_lock_counter replaces pthread_mutex_lock/trylock for that
// executable (calls are counted, then passed on to the C library).
//
//   EXPECT_EQ(zonda::test::CountLocks([&] { mixer.MixBlock(...); }), 0);
#include <utility>

namespace zonda::test {

void BeginCountingLocks();
// Ends counting on this thread; returns the locks taken since the begin.
int EndCountingLocks();

template <class F>
int CountLocks(F&& f) {
  BeginCountingLocks();
  std::forward<F>(f)();
  return EndCountingLocks();
}

}  // namespace zonda::test
