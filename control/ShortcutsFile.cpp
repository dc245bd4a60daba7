#include "control/ShortcutsFile.h"

#include <cctype>
#include <cstdio>

#include "platform/AtomicFile.h"
#include "skin/ActionTables.h"
#include "skin/XmlParser.h"

namespace zonda {
namespace {

constexpr uint8_t kShift = 1, kAlt = 2, kCtrl = 4;

const char* YesNo(bool b) { return b ? "yes" : "no"; }

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

uint8_t Modifiers(const TXmlParser& x, const char* ctrl, const char* alt, const char* shift) {
  auto yes = [&x](const char* name) {
    std::string v = x.AttributeValue(name);
    for (char& c : v) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return v == "YES";
  };
  return uint8_t((yes(ctrl) ? kCtrl : 0) | (yes(alt) ? kAlt : 0) | (yes(shift) ? kShift : 0));
}

uint16_t Key(int v) { return v > 0 && v <= 0xFFFF ? uint16_t(v) : 0; }

}  // namespace

bool SaveShortcuts(const TActionTables& actions, const std::string& fileName) {
  std::string doc = "<?xml version=\"1.0\" ?>\r\n<!-- Zonda shortcuts -->\r\n<shortcuts targetversion=\"1\">\r\n";
  const char* rule = "<!-- ======================= -->\r\n";
  doc += rule;
  doc += "<!-- BUTTONs -->\r\n";
  doc += rule;
  char line[512];
  for (const TButtonAction& b : actions.Buttons()) {
    std::snprintf(line, sizeof line,
                  "<shortcut action=\"%s\" key=\"%d\" ctrl=\"%s\" alt=\"%s\" shift=\"%s\" midi_ch=\"%d\" "
                  "midi_note=\"%d\" />\r\n",
                  Escape(b.Name()).c_str(), b.Key, YesNo(b.KeyModifiers & kCtrl), YesNo(b.KeyModifiers & kAlt),
                  YesNo(b.KeyModifiers & kShift), b.MidiChannel, b.MidiNote);
    doc += line;
  }
  doc += rule;
  doc += "<!-- SLIDERs -->\r\n";
  doc += rule;
  for (const TSliderAction& s : actions.Sliders()) {
    std::snprintf(line, sizeof line,
                  "<shortcut action=\"%s\" key1=\"%d\" ctrl1=\"%s\" alt1=\"%s\" shift1=\"%s\" key2=\"%d\" "
                  "ctrl2=\"%s\" alt2=\"%s\" shift2=\"%s\" midi_ch=\"%d\" midi_cntrl=\"%d\" />\r\n",
                  Escape(s.Name()).c_str(), s.DecreaseKey, YesNo(s.DecreaseModifiers & kCtrl),
                  YesNo(s.DecreaseModifiers & kAlt), YesNo(s.DecreaseModifiers & kShift), s.IncreaseKey,
                  YesNo(s.IncreaseModifiers & kCtrl), YesNo(s.IncreaseModifiers & kAlt),
                  YesNo(s.IncreaseModifiers & kShift), s.MidiChannel, s.MidiController);
    doc += line;
  }
  doc += "</shortcuts>\r\n";
  // A crash while writing must not leave a damaged file in place of the old one.
  return WriteFileAtomically(fileName, doc);
}

std::string PortShortcutsFile(const std::string& folder, const std::string& port) {
  std::string name = "port-";
  for (char c : port) name += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ? c : '_';
  return folder + "/" + name + ".xml";
}

bool LoadShortcuts(TActionTables& actions, const std::string& fileName) {
  TXmlParser x;
  if (!x.OpenDocument(fileName)) return false;
  x.RewindScan();
  while (x.NextPart()) {
    if (x.PartKind() == TPartKind::StartTag && x.PartName() != "shortcuts") break;
    if (x.PartKind() != TPartKind::EmptyElementTag || x.PartName() != "shortcut") continue;
    const std::string name = x.AttributeValue("action");
    // A name can be a button's and a slider's ("decka_pitch"): each line
    // sets the kind whose attributes it carries, never clears the other.
    const TAttrList& a = x.Attributes();
    const bool buttonLine = a.Find("key") || a.Find("midi_note");
    const bool sliderLine = a.Find("key1") || a.Find("key2") || a.Find("midi_cntrl");
    const int button = buttonLine ? actions.FindButtonAction(name) : -1;
    if (button >= 0) {
      TButtonAction& b = actions.Button(button);
      b.MidiChannel = x.AttributeInteger("midi_ch");
      b.MidiNote = x.AttributeInteger("midi_note");
      b.Key = Key(x.AttributeInteger("key"));
      b.KeyModifiers = Modifiers(x, "ctrl", "alt", "shift");
    }
    const int slider = sliderLine ? actions.FindSliderAction(name) : -1;
    if (slider >= 0) {
      TSliderAction& s = actions.Slider(slider);
      s.MidiChannel = x.AttributeInteger("midi_ch");
      s.MidiController = x.AttributeInteger("midi_cntrl");
      s.DecreaseKey = Key(x.AttributeInteger("key1"));
      s.DecreaseModifiers = Modifiers(x, "ctrl1", "alt1", "shift1");
      s.IncreaseKey = Key(x.AttributeInteger("key2"));
      s.IncreaseModifiers = Modifiers(x, "ctrl2", "alt2", "shift2");
    }
  }
  return true;
}

}  // namespace zonda
