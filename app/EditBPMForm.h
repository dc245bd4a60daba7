#pragma once
// TEditBPMform: the small tool box that edits and locks a deck's BPM. One
// instance serves both decks; the main window opens it for a deck, disables
// itself while it is shown and gets the result through OnAccepted.
//
//   form.OnAccepted = [&](int deck, int32_t bpm, bool locked) { ... };
//   form.OnHidden = [&] { mainWindow.setEnabled(true); };
//   form.Open(0, "Edit / Lock BPM - Deck A", 128, true);
//
// Keys: Escape cancels, Enter presses OK (the default button). Any edit of
// the value checks "LOCK". OK refuses a value that is not a whole number in
// 75..150 with a message and stays open. The window's close command is
// refused unless the program is shutting down. Main thread.
#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zonda {

class TEditBPMform : public QDialog {
 public:
  explicit TEditBPMform(QWidget* parent = nullptr);

  // Shows the dialog for deck (0 A, 1 B), centred on the screen, with the
  // value in the edit box and focus on it.
  void Open(int deck, const std::string& caption, int32_t value, bool locked);
  int EditedDeck() const { return deck_; }

  void OKClick();
  void CancelClick();
  void BPMeditvalChange();

  // deck, value, "LOCK" checked.
  std::function<void(int, int32_t, bool)> OnAccepted;
  // After OK or Cancel hid the dialog (the main window enables itself).
  std::function<void()> OnHidden;
  // The message's first part (the language's "entervalidnumber").
  std::function<std::string()> InvalidNumberText;
  bool ShuttingDown = false;

  QLabel* BPMValueLabel = nullptr;
  QLineEdit* BPMeditval = nullptr;
  QCheckBox* BPMchecklock = nullptr;
  QPushButton* OK = nullptr;
  QPushButton* Cancel = nullptr;

 protected:
  void reject() override;                        // Escape
  void closeEvent(QCloseEvent* event) override;  // FormCloseQuery

 private:
  void HideDialog();
  int deck_ = 0;
};

}  // namespace zonda
