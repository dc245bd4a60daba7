#include "skin/LanguageTables.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/ProgramDir.h"
#include "skin/LanguageKeys.h"
#include "skin/XmlParser.h"

namespace zonda {
namespace {

bool HasXmlExtension(const std::string& fileName) {
  if (fileName.size() < 4) return false;
  std::string ext = fileName.substr(fileName.size() - 4);
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return ext == ".xml";  // matched without regard to case, as "*.xml" always was
}

bool IsRoot(const TXmlParser& xml) {
  return xml.PartName() == "languagestrings" &&
         xml.AttributeInteger("targetversion") == TLanguageTables::kTargetVersion;
}

}  // namespace

TLanguageTables::TLanguageTables(TActionTables& actions)
    : actions_(actions), texts_(LanguageKeys().size()) {}

const std::string& TLanguageTables::Text(std::string_view key) const {
  static const std::string kEmpty;
  const int i = FindLanguageKey(key);
  return i < 0 ? kEmpty : texts_[static_cast<std::size_t>(i)];
}

const std::string& TLanguageTables::Text(int keyIndex) const {
  static const std::string kEmpty;
  if (keyIndex < 0 || static_cast<std::size_t>(keyIndex) >= texts_.size()) return kEmpty;
  return texts_[static_cast<std::size_t>(keyIndex)];
}

std::string TLanguageTables::LanguageFolder() { return ProgramPath("/languages"); }

void TLanguageTables::ListLanguages(const std::string& folder) {
  list_.clear();
  std::vector<std::string> files;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->is_directory(typeError)) continue;
    const std::string name = it->path().filename().string();
    if (HasXmlExtension(name)) files.push_back(name);
  }
  std::sort(files.begin(), files.end());
  for (const std::string& name : files) {
    if (static_cast<int>(list_.size()) >= kMaxLanguages) break;
    const std::string path = folder + "/" + name;
    TXmlParser xml;
    if (!xml.OpenDocument(path)) continue;
    xml.RewindScan();
    while (xml.NextPart()) {
      if (xml.PartKind() != TPartKind::StartTag) continue;
      if (IsRoot(xml)) list_.push_back({path, xml.AttributeValue("language")});
      break;
    }
  }
}

std::string TLanguageTables::ExpandLineBreaks(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == 'n') {
      out += "\r\n";
      ++i;
    } else {
      out.push_back(value[i]);
    }
  }
  return out;
}

void TLanguageTables::ApplyHint(std::string_view action, const std::string& value) {
  if (action.size() < 3) return;
  const std::string_view prefix = action.substr(0, 2);
  const std::string_view name = action.substr(3);
  if (prefix == "ba") {
    if (const int i = actions_.FindButtonAction(name); i >= 0) actions_.Button(i).SetHintText(value);
  } else if (prefix == "sa") {
    if (const int i = actions_.FindSliderAction(name); i >= 0) actions_.Slider(i).SetHintText(value);
  } else if (prefix == "bd") {
    if (const int i = actions_.FindBeatDisplayAction(name); i >= 0) actions_.BeatDisplay(i).SetHintText(value);
  } else if (prefix == "ta") {
    if (const int i = actions_.FindTextAction(name); i >= 0) actions_.Text(i).SetHintText(value);
  }
}

void TLanguageTables::LoadLanguage(const std::string& fileName) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fileName, ec)) return;
  TXmlParser xml;
  if (!xml.OpenDocument(fileName)) return;
  xml.RewindScan();
  // Children count only after an accepted root, so a file that never opens
  // one cannot mix its texts into the previous language's.
  bool rootSeen = false;
  while (xml.NextPart()) {
    if (xml.PartKind() == TPartKind::StartTag) {
      if (!IsRoot(xml)) break;
      for (std::string& t : texts_) t.clear();
      rootSeen = true;
      continue;
    }
    if (xml.PartKind() != TPartKind::EmptyElementTag || !rootSeen) continue;
    if (xml.PartName() == "string") {
      const int key = FindLanguageKey(xml.AttributeValue("action"));
      if (key >= 0) texts_[static_cast<std::size_t>(key)] = ExpandLineBreaks(xml.AttributeValue("value"));
    } else if (xml.PartName() == "hint") {
      ApplyHint(xml.AttributeValue("action"), ExpandLineBreaks(xml.AttributeValue("value")));
    }
  }
  actions_.SetHintWords(Text("shortcuts"), Text("none"));
}

void TLanguageTables::RegisterStep(int step, TStep fn) { steps_.emplace(step, std::move(fn)); }

int TLanguageTables::ClampLanguagePosition(int position, int count) {
  if (count <= 0) return -1;
  return std::clamp(position, 0, count - 1);
}

void TLanguageTables::RefreshReadouts(const std::string& previousDeckEmpty) {
  for (const char* name : {"decka_cutoff", "deckb_cutoff"}) {
    if (const int i = actions_.FindTextAction(name); i >= 0) actions_.Text(i).SetText(Text("main_filteroff"));
  }
  // An empty deck shows the created text until the first language, then that
  // language's text; recognising the previous language's text too keeps a
  // second switch from leaving an empty deck that no longer reads as empty.
  for (const char* name : {"decka_songname", "deckb_songname"}) {
    const int i = actions_.FindTextAction(name);
    if (i < 0) continue;
    TTextAction& a = actions_.Text(i);
    const std::string& current = a.Text();
    if (current == kCreatedDeckEmptyText || (!previousDeckEmpty.empty() && current == previousDeckEmpty)) {
      a.SetText(Text("main_deckempty"));
    }
  }
}

int TLanguageTables::ApplyLanguage(int boxPosition) {
  auto run = [this](int step) {
    auto [first, last] = steps_.equal_range(step);
    for (auto it = first; it != last; ++it) it->second(*this);
  };
  const std::string previousDeckEmpty = Text("main_deckempty");

  actions_.ClearHints();  // 1
  run(1);
  const int position = ClampLanguagePosition(boxPosition, static_cast<int>(list_.size()));
  if (position >= 0) LoadLanguage(list_[static_cast<std::size_t>(position)].FileName);  // 2
  run(2);
  for (int step = 3; step <= 10; ++step) run(step);
  actions_.SetHintWords(Text("shortcuts"), Text("none"));
  actions_.RebuildHints();  // 11
  run(11);
  run(12);
  RefreshReadouts(previousDeckEmpty);  // 13
  run(13);
  // Steps registered beyond the known ones still run, in order.
  for (auto it = steps_.upper_bound(13); it != steps_.end(); ++it) it->second(*this);
  return position;
}

}  // namespace zonda
