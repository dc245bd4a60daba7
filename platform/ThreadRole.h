#pragma once
// Which of the program's threads the calling thread is, for cheap checks in
// Debug builds that a method runs on the thread its header names.
//
//   SetCurrentThreadRole(TThreadRole::Main);             // once, at a thread's start
//   ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);             // in a main-thread method
//
// Threads that never say (tests, tools' helper threads) are Unknown and pass
// every check. In a program whose main thread has said so, the audio thread
// says so on its first callback (a test that calls the callback itself stays
// Unknown).
#include <cassert>
#include <cstdint>

namespace zonda {

enum class TThreadRole : uint8_t { Unknown, Main, Audio, Worker };

void SetCurrentThreadRole(TThreadRole role) noexcept;
TThreadRole CurrentThreadRole() noexcept;
// True once some thread has taken the Main role.
bool ThreadRolesInUse() noexcept;

}  // namespace zonda

// Debug builds: fails when the calling thread has the given role.
#define ZONDA_EXPECT_NOT_ON(role) assert(::zonda::CurrentThreadRole() != (role))
