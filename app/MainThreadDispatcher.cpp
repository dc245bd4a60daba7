#include "app/MainThreadDispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace zonda {

TMainThreadDispatcher::TMainThreadDispatcher() : shared_(std::make_shared<Shared>()) {}

void TMainThreadDispatcher::Dispatch(const std::function<void()>& fn) {
  auto shared = shared_;
  auto done = std::make_shared<bool>(false);
  {
    std::lock_guard lock(shared->m);
    if (shared->cancelled) return;
  }
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [shared, done, fn] {
        {
          std::lock_guard lock(shared->m);
          if (shared->cancelled) return;
        }
        fn();
        std::lock_guard lock(shared->m);
        *done = true;
        shared->cv.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(shared->m);
  shared->cv.wait(lock, [&] { return *done || shared->cancelled; });
}

void TMainThreadDispatcher::Cancel() {
  std::lock_guard lock(shared_->m);
  shared_->cancelled = true;
  shared_->cv.notify_all();
}

}  // namespace zonda
