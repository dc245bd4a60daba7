#include "platform/ThreadPriority.h"

#include <cstdlib>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace zonda {
namespace {

// ZONDA_DECK_NICE, read once; 0 when absent or out of range.
int32_t DeckWorkerNice() noexcept {
  static const int32_t nice = [] {
    const char* v = std::getenv("ZONDA_DECK_NICE");
    if (v == nullptr || *v == '\0') return 0;
    char* end = nullptr;
    const long n = std::strtol(v, &end, 10);
    return (*end == '\0' && n >= 0 && n <= 19) ? static_cast<int32_t>(n) : 0;
  }();
  return nice;
}

}  // namespace

int32_t NiceValueOf(TThreadPriority priority) noexcept {
  switch (priority) {
    case TThreadPriority::Lowest: return 19;
    case TThreadPriority::Background: return 10;
    case TThreadPriority::BelowNormal: return 5;
    case TThreadPriority::Normal: return 0;
    case TThreadPriority::Decoding: return DeckWorkerNice();
    case TThreadPriority::Highest: return -10;
  }
  return 0;
}

bool SetCurrentThreadPriority(TThreadPriority priority) noexcept {
#if defined(__linux__)
  // On Linux the nice value of a thread id affects that thread only.
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  return setpriority(PRIO_PROCESS, tid, NiceValueOf(priority)) == 0;
#else
  (void)priority;
  return false;
#endif
}

int32_t CurrentThreadNice() noexcept {
#if defined(__linux__)
  errno = 0;
  const int n = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
  return errno == 0 ? n : 0;
#else
  return 0;
#endif
}

void SetCurrentThreadName(const char* name) noexcept {
#if defined(__linux__)
  char shortName[16] = {};
  for (int i = 0; i < 15 && name[i] != '\0'; ++i) shortName[i] = name[i];
  pthread_setname_np(pthread_self(), shortName);
#else
  (void)name;
#endif
}

TRealTimeResult RequestRealTime(int32_t priority) noexcept {
#if defined(__linux__)
  int policy = SCHED_OTHER;
  sched_param param{};
  if (pthread_getschedparam(pthread_self(), &policy, &param) == 0 && (policy == SCHED_FIFO || policy == SCHED_RR)) {
    return TRealTimeResult::AlreadyRealTime;
  }
  param.sched_priority = priority < 1 ? 1 : (priority > 99 ? 99 : priority);
  return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0 ? TRealTimeResult::Granted
                                                                        : TRealTimeResult::Refused;
#else
  (void)priority;
  return TRealTimeResult::Refused;
#endif
}

}  // namespace zonda
