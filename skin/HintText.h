#pragma once
// The shortcut line of button and slider hints.
//
// A bound button or slider shows its hint followed by an empty line and
// "<shortcuts> <shortcut text>", or "<shortcuts> <none>" when it has no
// shortcut; the two words come from the current language ("shortcuts" and
// "none") and are shared by all actions of one table.
//
// Main thread only.
#include <string>

namespace zonda {

struct THintWords {
  std::string Shortcuts;  // language text "shortcuts"
  std::string None;       // language text "none"
};

inline std::string BuildShortcutHint(const std::string& hint, const std::string& shortcut, const THintWords& words) {
  return hint + "\r\n\r\n" + words.Shortcuts + " " + (shortcut.empty() ? words.None : shortcut);
}

}  // namespace zonda
