#include "engine/ThreadPriority.h"

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace zonda {

bool SetCurrentThreadPriority(TThreadPriority priority) noexcept {
#if defined(__linux__)
  int nice = 0;
  switch (priority) {
    case TThreadPriority::Lowest: nice = 19; break;
    case TThreadPriority::BelowNormal: nice = 5; break;
    case TThreadPriority::Normal: nice = 0; break;
    case TThreadPriority::Highest: nice = -10; break;
  }
  // On Linux the nice value of a thread id affects that thread only.
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  return setpriority(PRIO_PROCESS, tid, nice) == 0;
#else
  (void)priority;
  return false;
#endif
}

}  // namespace zonda
