#pragma once
// TNativeEffectInstance: what a native effect's "create" hands out as its
// instance handle: the effect, the main window to parent its editor on, and
// the editor once opened.
//
// Threads: construction, Edit and destruction on the main thread; the effect's
// Process on the audio thread.
#include <QPointer>
#include <memory>

#include "effects/native/NativeEffect.h"

class QWidget;

namespace zonda::fx {

class TNativeEffectInstance {
 public:
  // mainWindow: a QWidget*, or null in a headless host. No widget is made here.
  TNativeEffectInstance(std::unique_ptr<TNativeEffect> effect, const char* name, void* mainWindow);
  // Closes and deletes the editor.
  ~TNativeEffectInstance();
  TNativeEffectInstance(const TNativeEffectInstance&) = delete;
  TNativeEffectInstance& operator=(const TNativeEffectInstance&) = delete;

  TNativeEffect& Effect() noexcept { return *effect_; }
  // Opens the editor, or raises it when open. Does nothing without a QApplication.
  void Edit();
  // The editor window once Edit made it (null before, or after its parent went).
  QWidget* Editor() const;

 private:
  std::unique_ptr<TNativeEffect> effect_;
  const char* name_;
  // Weak: the host may delete its main window before it destroys the instance.
  QPointer<QWidget> parent_;
  QPointer<QWidget> editor_;
};

}  // namespace zonda::fx
