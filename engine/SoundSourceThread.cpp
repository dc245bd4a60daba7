#include "engine/SoundSourceThread.h"

#include <chrono>
#include <utility>

#include "platform/ThreadRole.h"

namespace zonda {

TSoundSourceThread::TSoundSourceThread(TThreadPriority priority, std::function<void()> step, const char* name)
    : step_(std::move(step)), thread_([this, priority, name] { Execute(priority, name); }) {}

TSoundSourceThread::~TSoundSourceThread() {
  Terminate();
  Join();
}

void TSoundSourceThread::Execute(TThreadPriority priority, const char* name) {
  if (name != nullptr) SetCurrentThreadName(name);
  SetCurrentThreadRole(TThreadRole::Worker);
  SetCurrentThreadPriority(priority);
  while (!terminated_.load()) {
    step_();
  }
  std::lock_guard guard(doneLock_);
  done_ = true;
  doneCv_.notify_all();
}

bool TSoundSourceThread::WaitFor(int32_t timeoutMs) {
  std::unique_lock lock(doneLock_);
  return doneCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return done_; });
}

void TSoundSourceThread::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace zonda
