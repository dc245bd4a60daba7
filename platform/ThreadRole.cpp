#include "platform/ThreadRole.h"

#include <atomic>

namespace zonda {
namespace {

// Linked into programs only (a library loaded at run time would allocate its
// thread-local storage lazily, on the audio thread).
thread_local TThreadRole tRole = TThreadRole::Unknown;
std::atomic<bool> gInUse{false};

}  // namespace

void SetCurrentThreadRole(TThreadRole role) noexcept {
  tRole = role;
  if (role == TThreadRole::Main) gInUse.store(true, std::memory_order_release);
}
TThreadRole CurrentThreadRole() noexcept { return tRole; }
bool ThreadRolesInUse() noexcept { return gInUse.load(std::memory_order_acquire); }

}  // namespace zonda
