#pragma once
// Key texts of shortcuts: a virtual key code with its Shift/Alt/Ctrl bits as
// the configuration window and the controls' hints show it ("Ctrl + A",
// "Pg Up", "F5", "-" for none), and the shortcut text an action's hint gets.
//
//   KeyText(65, 4) == "Ctrl + A";  ButtonShortcutText(b) == "<Ctrl + A>"
//
// Any thread; pure functions.
#include <cstdint>
#include <string>

namespace zonda {

class TButtonAction;
class TSliderAction;
class TActionTables;

std::string KeyText(uint16_t key, uint8_t modifiers);
// "<key>" or "" for none; a slider's "<decrease>, <increase>" when both are set.
std::string ButtonShortcutText(const TButtonAction& b);
std::string SliderShortcutText(const TSliderAction& s);
// The key column of the shortcut table.
std::string ButtonKeyColumn(const TButtonAction& b);
std::string SliderKeyColumn(const TSliderAction& s);
// Every action's shortcut text from its keys (after a load or a reset).
void RefreshShortcutTexts(TActionTables& actions);

}  // namespace zonda
