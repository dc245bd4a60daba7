#include "control/KeyNames.h"

#include "skin/ActionTables.h"

namespace zonda {
namespace {

constexpr uint8_t kShift = 1, kAlt = 2, kCtrl = 4;

std::string KeyName(uint16_t key) {
  switch (key) {
    case 3: return "Break";
    case 8: return "Backspace";
    case 9: return "Tab";
    case 12: case 254: return "Clear";
    case 13: return "Enter";
    case 19: return "Pause";
    case 20: return "Caps Lock";
    case 27: return "Esc";
    case 32: return "Space";
    case 144: return "Num Lock";
    case 145: return "Scroll Lock";
    case 229: return "Process";
    case 253: return "PA1";
    default: break;
  }
  static const char* const k33[] = {"Pg Up", "Pg Down", "End", "Home", "Left", "Up", "Right", "Down",
                                    "Select", "Print", "Execute", "Print Screen", "Insert", "Delete", "Help"};
  if (key >= 33 && key <= 47) return k33[key - 33];
  if (key >= 96 && key <= 105) return std::string(1, char('0' + (key - 96))) + " pad";
  static const char* const k106[] = {"Multiply (pad)", "Add (pad)", "Separator (pad)", "Subtract (pad)",
                                     "Decimal (pad)", "Divide (pad)"};
  if (key >= 106 && key <= 111) return k106[key - 106];
  if (key >= 112 && key <= 135) {
    std::string f = "F";
    f += std::to_string(key - 111);
    return f;
  }
  static const char* const k160[] = {"LShift", "RShift", "LCtrl", "RCtrl", "LAlt", "RAlt"};
  if (key >= 160 && key <= 165) return k160[key - 160];
  static const char* const k246[] = {"Attn", "CrSel", "ExSel", "Erase EOF", "Play", "Zoom"};
  if (key >= 246 && key <= 251) return k246[key - 246];
  // Letters and digits are their own characters; the punctuation keys the
  // character a US layout prints on them.
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, char(key));
  switch (key) {
    case 186: return ";";
    case 187: return "=";
    case 188: return ",";
    case 189: return "-";
    case 190: return ".";
    case 191: return "/";
    case 192: return "`";
    case 219: return "[";
    case 220: return "\\";
    case 221: return "]";
    case 222: return "'";
    default: return "";
  }
}

bool Set(const std::string& text) { return !text.empty() && text != "-"; }

}  // namespace

std::string KeyText(uint16_t key, uint8_t modifiers) {
  if (key == 0 && modifiers == 0) return "-";
  std::string text = KeyName(key);
  if (modifiers & kShift) text = "Shift + " + text;
  if (modifiers & kAlt) text = "Alt + " + text;
  if (modifiers & kCtrl) text = "Ctrl + " + text;
  return text;
}

std::string ButtonShortcutText(const TButtonAction& b) {
  const std::string k = KeyText(b.Key, b.KeyModifiers);
  return Set(k) ? "<" + k + ">" : std::string();
}

std::string SliderShortcutText(const TSliderAction& s) {
  const std::string d = KeyText(s.DecreaseKey, s.DecreaseModifiers), i = KeyText(s.IncreaseKey, s.IncreaseModifiers);
  return Set(d) && Set(i) ? "<" + d + ">, <" + i + ">" : std::string();
}

std::string ButtonKeyColumn(const TButtonAction& b) { return KeyText(b.Key, b.KeyModifiers); }

std::string SliderKeyColumn(const TSliderAction& s) {
  return KeyText(s.DecreaseKey, s.DecreaseModifiers) + ", " + KeyText(s.IncreaseKey, s.IncreaseModifiers);
}

void RefreshShortcutTexts(TActionTables& actions) {
  for (TButtonAction& b : actions.Buttons()) b.SetShortcutText(ButtonShortcutText(b));
  for (TSliderAction& s : actions.Sliders()) s.SetShortcutText(SliderShortcutText(s));
}

}  // namespace zonda
