#pragma once
// TLanguageTables: the language texts, the list of language files, and the
// sequence that applies a language to every window.
//
// Language files are "*.xml" files in ProgramPath("/languages") whose first
// start tag is <languagestrings targetversion="5" language="English">,
// followed by empty-element tags
//   <string action="main_confirmexit" value="Quit Zonda?"/>
//   <hint action="ba:decka_play_pause" value="Play / pause deck A"/>
// In values, backslash + "n" becomes a line break (CR LF). A hint's action is
// a kind prefix ("ba" button, "sa" slider, "bd" beat display, "ta" text),
// one separator character, and an action name.
//
// Texts are read by key at the moment of use (Text("main_confirmexit")), so a
// change of language reaches every later message. ApplyLanguage runs numbered
// steps: 1 clears every action hint, 2 loads the chosen file, 11 rebuilds the
// shortcut lines of button and slider hints, 13 refreshes the read-outs that
// show language texts; each window registers the step that sets its own
// captions (3 folder chooser, 5 BPM dialog, 6 tag editor, 7 configuration,
// 8 song lists, 9 list menu, 10 file dialogs, 12 search box).
//
// Main thread only.
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "skin/ActionTables.h"

namespace zonda {

struct TLanguageRecord {
  std::string FileName;      // full path of the language file
  std::string LanguageName;  // the root's "language" attribute
};

class TLanguageTables {
 public:
  static constexpr int kMaxLanguages = 100;
  static constexpr int kTargetVersion = 5;
  // The text the song-name read-outs are created with.
  static constexpr std::string_view kCreatedDeckEmptyText = "DECK EMPTY";

  using TStep = std::function<void(const TLanguageTables&)>;

  explicit TLanguageTables(TActionTables& actions);
  TLanguageTables(const TLanguageTables&) = delete;
  TLanguageTables& operator=(const TLanguageTables&) = delete;

  // The current text of a key; "" for a key the file lacks or the table does not know.
  const std::string& Text(std::string_view key) const;
  const std::string& Text(int keyIndex) const;

  // The installation's language folder, ProgramPath("/languages").
  static std::string LanguageFolder();

  // Rebuilds the list from the folder's "*.xml" files with a valid root, at
  // most 100, sorted by file name so that a saved position keeps its meaning.
  void ListLanguages(const std::string& folder);
  const std::vector<TLanguageRecord>& LanguageList() const { return list_; }

  // Reads one language file into the texts and the action hints. A missing
  // file changes nothing; a wrong root stops the load with the texts kept.
  void LoadLanguage(const std::string& fileName);

  // Adds a window's captions to ApplyLanguage; steps of one number run in
  // registration order, after this class's own work for that number.
  void RegisterStep(int step, TStep fn);

  // Applies the language at the given position of the language box (clamped
  // to the list); returns the position used, -1 when no language is listed.
  int ApplyLanguage(int boxPosition);

  // Below 0 gives 0, beyond the end the last entry; -1 when count is 0.
  static int ClampLanguagePosition(int position, int count);
  // Backslash + "n" becomes CR LF.
  static std::string ExpandLineBreaks(std::string_view value);

 private:
  void ApplyHint(std::string_view action, const std::string& value);
  void RefreshReadouts(const std::string& previousDeckEmpty);

  TActionTables& actions_;
  std::vector<std::string> texts_;
  std::vector<TLanguageRecord> list_;
  std::multimap<int, TStep> steps_;
};

}  // namespace zonda
