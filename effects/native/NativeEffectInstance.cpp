#include "effects/native/NativeEffectInstance.h"

#include <QApplication>
#include <QThread>
#include <QWidget>

#include "effects/native/EffectEditor.h"

namespace zonda::fx {
namespace {

// Widgets need a QApplication (not merely a QCoreApplication) and its thread.
bool CanShowWidgets() {
  QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && qobject_cast<QApplication*>(app) != nullptr && QThread::currentThread() == app->thread();
}

}  // namespace

TNativeEffectInstance::TNativeEffectInstance(std::unique_ptr<TNativeEffect> effect, const char* name, void* mainWindow)
    : effect_(std::move(effect)), name_(name) {
  if (mainWindow != nullptr && CanShowWidgets()) parent_ = static_cast<QWidget*>(mainWindow);
}

TNativeEffectInstance::~TNativeEffectInstance() {
  // Once the application is gone no widget may be touched: the window is left to the process's end.
  if (editor_ && QCoreApplication::instance() != nullptr) {
    editor_->close();
    delete editor_.data();
  }
}

QWidget* TNativeEffectInstance::Editor() const { return editor_.data(); }

void TNativeEffectInstance::Edit() {
  if (!CanShowWidgets()) return;
  if (!editor_) editor_ = BuildEffectEditor(name_, effect_->Parameters(), parent_.data());
  editor_->show();
  editor_->raise();
  editor_->activateWindow();
}

}  // namespace zonda::fx
