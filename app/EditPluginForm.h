#pragma once
// TEditPluginForm: the "Edit Plugin" window that hosts the property pages of
// the LADSPA effect in one slot. The effect bridge builds the pages inside it
// and asks for its client size with a TORVANE_SIZE_EVENT; the main window is
// disabled while it is shown. Escape or the close box hides it again.
//
// Main thread only.
#include <QDialog>
#include <functional>

namespace zonda {

class TEditPluginForm final : public QDialog {
 public:
  explicit TEditPluginForm(QWidget* mainWindow);

  int EditSlot = 0;  // the slot (1..8) whose pages are shown
  // The slot's pages follow the window (moved, tab changed) and go when it closes.
  std::function<void(int slot)> TabChanged;
  std::function<void(int slot)> Closing;

 protected:
  bool event(QEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void reject() override;  // Escape

 private:
  QWidget* mainWindow_;
};

}  // namespace zonda
