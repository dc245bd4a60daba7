#pragma once
// TKeyboardHook: the program's keyboard hook, an application-wide Qt event
// filter. Every key pressed or released in any window of the program reaches
// the button and slider actions as a Windows virtual-key code with the Shift,
// Alt and Ctrl bits, so shortcut files stay interchangeable with the
// original program's.
//
//   TKeyboardHook hook(actions);
//   qApp->installEventFilter(&hook);   // engine start, step 1
//
// Buttons get KeyDown on the first press (auto-repeats are not presses) and
// KeyUp on the release; sliders step on every press including repeats. A key
// an action took is consumed; other keys go on to the focused widget.
//
// Main thread only.
#include <QObject>
#include <cstdint>
#include <functional>

namespace zonda {

class TActionTables;

// Windows virtual-key code of a Qt key (0 for keys without one). keypad: the
// key came from the numeric keypad.
uint16_t VirtualKeyFromQt(int qtKey, bool keypad);
// TButtonAction modifier bits from Qt modifiers.
uint8_t ModifierBitsFromQt(Qt::KeyboardModifiers modifiers);

class TKeyboardHook : public QObject {
 public:
  explicit TKeyboardHook(TActionTables& actions) : actions_(actions) {}
  // False while the program should not react to keys (a dialog with text entry).
  bool Enabled = true;
  // Learn mode: every key press (but Shift, Ctrl or Alt alone) goes here
  // with its modifier bits instead of to the actions; releases are dropped.
  std::function<void(uint16_t key, uint8_t modifiers)> Learn;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TActionTables& actions_;
};

}  // namespace zonda
