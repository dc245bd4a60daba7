#include "tests/support/LockCounter.h"

#include <dlfcn.h>
#include <pthread.h>

namespace {

using LockFn = int (*)(pthread_mutex_t*);

thread_local bool tCounting = false;
thread_local int tLocks = 0;

LockFn Next(const char* name) { return reinterpret_cast<LockFn>(dlsym(RTLD_NEXT, name)); }

// Resolved before main, while one thread runs.
LockFn gLock = Next("pthread_mutex_lock");
LockFn gTryLock = Next("pthread_mutex_trylock");

}  // namespace

extern "C" int pthread_mutex_lock(pthread_mutex_t* m) {
  if (tCounting) ++tLocks;
  if (gLock == nullptr) gLock = Next("pthread_mutex_lock");
  return gLock(m);
}

extern "C" int pthread_mutex_trylock(pthread_mutex_t* m) {
  if (tCounting) ++tLocks;
  if (gTryLock == nullptr) gTryLock = Next("pthread_mutex_trylock");
  return gTryLock(m);
}

namespace zonda::test {

void BeginCountingLocks() {
  tLocks = 0;
  tCounting = true;
}

int EndCountingLocks() {
  tCounting = false;
  return tLocks;
}

}  // namespace zonda::test
