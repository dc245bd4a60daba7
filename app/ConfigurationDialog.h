#pragma once
// TConfiguration: the settings window. Every control writes its setting into
// the program's TConfigValues and has the program apply it at once through
// the hooks; OK saves the settings and hides the window. It lives for the
// whole run; the frame's close button hides nothing while the program runs
// (only OK does), and the window closes for good at shutdown.
//
//   TConfiguration cfg(config, hooks, skinNames, &actions, language);
//   cfg.ShowFor(mainWindow);   // the skin's "menu" button
//
// Main thread only.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "app/ConfigValues.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QTabWidget;

namespace zonda {

class TActionTables;
class TLanguageTables;

// What a change of setting does in the program. Each runs after the
// setting is stored in the TConfigValues; any may be empty.
struct TConfigurationHooks {
  std::function<void()> KeyLock;         // both decks' key lock, pitch handlers again
  std::function<void()> PitchRange;      // the pitch sliders' limits
  std::function<void()> AutoDjTime;      // the "auto_dj_time" read-out
  std::function<void()> Crossfader;      // curve or cut mode: the crossfader handler
  std::function<void()> CutoffMode;      // both knobs to the mode's neutral value, filter handlers
  std::function<void()> StandardWave;    // both beat displays
  std::function<void()> DeckOptions;     // cue logic, loop snapping, re-loop
  std::function<void()> Hints;           // tool tips on or off
  std::function<bool(int)> ChangeSkin;   // false: refused (the window said why)
  std::function<void()> AudioPanel;      // the audio device's own settings window
  std::function<std::string()> Latency;  // "Latency: n [ms]"
  std::function<void()> Save;            // the settings store
  std::function<void()> Defaults;        // what Defaults resets beyond this window (shortcuts)
  std::function<void()> Assignments;     // the controller's knobs and buttons A-D
  std::function<std::vector<std::string>(bool input)> MidiPorts;  // the system's ports now
  std::function<void()> MidiChoice;      // MidiInputPort / MidiOutputPort changed
  std::function<std::string()> MidiStatus;
  // Learn mode: keys go to the given function (null: back to the actions).
  std::function<void(std::function<void(uint16_t, uint8_t)>)> SetLearner;
  // Learn mode for MIDI: messages go to the given function (null: to the mapping).
  std::function<void(std::function<void(int status, int number, int value)>)> SetMidiLearner;
};

class TConfiguration : public QDialog {
 public:
  TConfiguration(TConfigValues& config, TConfigurationHooks hooks, std::vector<std::string> skinNames,
                 TActionTables& actions, const TLanguageTables* language, QWidget* parent = nullptr);

  // Shows the window over owner, which stays disabled until OK.
  void ShowFor(QWidget* owner);
  // The controls show the settings (start-up, after Defaults).
  void ShowSettings();
  // The mixing-time control and caption follow a change made elsewhere.
  void ShowMixTime();
  // OK: saves, re-enables the owner, hides.
  void OkClick();
  // Defaults: every setting of the general page back to its default
  // through its handler; skin and language stay.
  void SetDefaultsClick();
  // The MIDI / Shortcuts page's commands.
  void ToggleLearnMode();
  bool Learning() const { return learning_; }
  // A key pressed in learn mode, for the selected row of the shortcut table.
  void LearnKey(uint16_t key, uint8_t modifiers);
  // A MIDI message in learn mode: a note on assigns its channel and note to
  // a button row, a control change its channel and controller to a slider row.
  void LearnMidi(int status, int number, int value);
  void ResetShortcut();
  void ResetAllShortcuts(bool ask = true);
  // The shortcut table's rows from the actions (sliders first, then buttons).
  void FillShortcutTable();
  // The latency and MIDI read-outs again (after an audio restart).
  void RefreshReadouts() { RefreshCaptions(); }
  // Shutdown: from now on the window may close.
  void AllowClose() { closing_ = true; }

  // The controls, by their names (tests drive them).
  QCheckBox* Check(const char* name) const;
  QSlider* Slider(const char* name) const;
  QComboBox* Combo(const char* name) const;
  QLabel* Label(const char* name) const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* GeneralPage();
  QWidget* MidiPage();
  std::string Text(const char* key, const char* fallback) const;
  QCheckBox* AddCheck(QWidget* page, const char* name, const char* caption, bool TConfigValues::*field,
                      std::function<void()> TConfigurationHooks::*hook);
  void CueLogicChanged(int which, bool on);
  void CutoffModeChanged(int mode);
  void RefreshCaptions();
  void FillMidiPorts();

  TConfigValues& config_;
  TConfigurationHooks hooks_;
  std::vector<std::string> skinNames_;
  TActionTables& actions_;
  const TLanguageTables* language_;
  QWidget* owner_ = nullptr;
  bool closing_ = false;
  bool showing_ = false;  // the controls are being set: no handler runs
  bool learning_ = false;
  void RefreshRow(int row);
};

// The About window: program, version, the libraries in use and their licences.
void ShowAboutBox(QWidget* parent);

}  // namespace zonda
