#pragma once
// Thread priorities of the engine's threads (deck workers lowest, hold
// tracking highest). On Linux a priority is the calling thread's nice value;
// raising it above normal needs privileges and is silently skipped without.
#include <cstdint>

namespace zonda {

enum class TThreadPriority : int8_t { Lowest, BelowNormal, Normal, Highest };

// Applies to the calling thread. Best effort: false when the system refused.
bool SetCurrentThreadPriority(TThreadPriority priority) noexcept;

}  // namespace zonda
