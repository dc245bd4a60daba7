#pragma once
// Thread priorities of the program's threads, chosen so that ordinary load on
// the machine (a browser, a file sync, a build) cannot starve what the music
// needs next.
//
//   Decoding    deck workers: nice 0, like every ordinary process. A playing
//               deck needs about 1 % of a core for decoding, but it needs it on
//               time; below nice 0 a few busy processes starve it.
//               ZONDA_DECK_NICE=0..19 overrides it (measurements).
//   Background  work that can wait (overview pictures, long analyses): nice 10.
//   Lowest      nice 19.
//   Normal      nice 0: the main thread (it drains the recorder and refills
//               the preview), the periodic-update timer.
//   Highest     nice -10 when the system allows it, else unchanged.
//
// On Linux a thread's nice value is its own (setpriority on its thread id);
// threads created later inherit it, so each thread sets its own at start.
// Lowering the nice value below the current one needs CAP_SYS_NICE or an
// RLIMIT_NICE allowance; without them the call fails and nothing changes.
#include <cstdint>

namespace zonda {

enum class TThreadPriority : int8_t { Lowest, Background, BelowNormal, Normal, Decoding, Highest };

// The nice value a priority stands for on Linux.
int32_t NiceValueOf(TThreadPriority priority) noexcept;

// Applies to the calling thread. Best effort: false when the system refused.
bool SetCurrentThreadPriority(TThreadPriority priority) noexcept;

// The calling thread's nice value (0 where the system has none).
int32_t CurrentThreadNice() noexcept;

// Names the calling thread (at most 15 characters show in top -H and debuggers).
void SetCurrentThreadName(const char* name) noexcept;

// What asking for real-time scheduling gave the calling thread.
enum class TRealTimeResult : int8_t { AlreadyRealTime, Granted, Refused };
// SCHED_FIFO at `priority` (1..99) for the calling thread unless it already
// runs real-time (a JACK client thread does). Granted as root, with
// CAP_SYS_NICE or with an RLIMIT_RTPRIO allowance (the "audio" group's
// limits); refused otherwise, and the thread keeps its normal priority.
TRealTimeResult RequestRealTime(int32_t priority) noexcept;

}  // namespace zonda
