#pragma once
// TZondaApp: the program body of zonda. Decides whether the program may run,
// binds the audio device library, opens the settings store, creates the
// engine and the main window in a fixed order, applies the stored settings,
// starts the two timers and runs the event loop; closing the main window
// stops everything in the reverse order and stores song settings and
// settings.
//
//   QApplication app(argc, argv);
//   TZondaApp zonda;
//   return zonda.Run(TZondaApp::ParseArguments(argc, argv));
//
// Start-up, in order: single instance (a second start says so and ends
// without touching the settings), the audio device library, the settings
// store, the required files, the five folders, skins and languages, the main
// window, the engine start (keyboard hook, decks, mixer, audio device; no
// device ends the program with its message), the action handlers, the stored
// settings through their handlers, the start skin, the timers, then sound.
//
// Main thread only (the hold-tracking timer calls into the main window's
// HoldTick on its own thread).
#include <QObject>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/ConfigValues.h"
#include "engine/IlvexLibrary.h"
#include "skin/ui/TSkinLoader.h"

namespace zonda {

class TActionTables;
class TAudioOutput;
class TConfiguration;
class TFFTFilter;
class TKAVMixer;
class TKeyboardHook;
class TLanguageTables;
class TMainForm;
class TMainFormEffects;
class TMainThreadDispatcher;
class TMidiControl;
class TRecorder;
class TRegQZ;
class TSingleInstance;
class TSoundSource;
class TTimerThread;

struct TStartOptions {
  std::string DeckAFile, DeckBFile;  // --deck-a FILE, --deck-b FILE
  bool Help = false;
  std::string Error;                 // an argument that could not be read
};

// One file the installation must hold, relative to ProgramDir.
struct TRequiredFile {
  const char* path;
  bool checked;  // false: its part of the system is not installed yet
};

class TZondaApp {
 public:
  TZondaApp();
  ~TZondaApp();
  TZondaApp(const TZondaApp&) = delete;
  TZondaApp& operator=(const TZondaApp&) = delete;

  static TStartOptions ParseArguments(int argc, char** argv);
  static const std::vector<TRequiredFile>& RequiredFiles();
  // The first required file missing from ProgramDir, or "".
  static std::string MissingRequiredFile();

  // Start-up; returns the exit code at once when start-up ends early.
  // Otherwise the window is up and Exec runs the event loop.
  int Start(const TStartOptions& options);
  int Exec();
  int Run(const TStartOptions& options);

  // The main window's close: the shutdown order (also reached through
  // the window's exit question).
  void FormClose();

  // For tests and measurements (null before start-up made them).
  TMainForm* MainForm() { return form_.get(); }
  TSoundSource* Deck(int d);
  TKAVMixer* Mixer() { return mixer_.get(); }
  TRecorder* Recorder() { return recorder_.get(); }
  TActionTables* Actions() { return actions_.get(); }
  TConfiguration* Configuration() { return configuration_.get(); }
  TMidiControl* Midi() { return midi_.get(); }
  TMainFormEffects* Effects() { return effects_.get(); }
  const TConfigValues& Config() const { return config_; }
  const std::string& LatencyText() const { return latencyText_; }
  bool EngineRunning() const { return engineRunning_.load() != 0; }
  // Start-up to the main window shown, and the last shutdown, in milliseconds.
  double StartMs() const { return startMs_; }
  double ShutdownMs() const { return shutdownMs_; }

 private:
  bool EngineStart();
  // The audio device library's restart request (its control panel applied new
  // settings): queued to the main thread, then deinit, init, block sizes.
  static void OnAudioRestartRequest(void* windowHandle);
  void AudioRestart();
  void ApplySettings();
  // One setting's effect, shared by start-up and the configuration window.
  void ApplyPitchRange();
  void ApplyAutoDjTime();
  void ApplyCutoffMode();
  void ApplyDeckOptions();
  void ApplyStandardWave();
  void CreateConfiguration();
  void CreateMidi();
  void ApplyMidiAssignments();
  // Lamps 6, 5, 4, 3 follow the effect slots switched by assigned buttons A-D.
  void ShowEffectLamps();
  // The shortcuts as learned on the open MIDI input, in that port's own file.
  void SavePortShortcuts();
  void ApplyStartSkin();
  void Warn(const std::string& text);

  std::unique_ptr<TSingleInstance> instance_;
  IlvexLibrary ilvex_;
  std::unique_ptr<TRegQZ> reg_;
  TConfigValues config_;
  std::atomic<uint8_t> engineRunning_{0};
  std::vector<TDataSkin> skins_;
  int screenWidth_ = 0, screenHeight_ = 0;
  std::unique_ptr<TActionTables> actions_;
  std::unique_ptr<TLanguageTables> language_;
  std::unique_ptr<TMainForm> form_;
  std::unique_ptr<TConfiguration> configuration_;
  std::unique_ptr<TMidiControl> midi_;
  std::unique_ptr<TMainFormEffects> effects_;
  std::unique_ptr<TKeyboardHook> hook_;
  std::unique_ptr<TSoundSource> deckA_, deckB_;
  std::unique_ptr<TFFTFilter> eqA_, eqB_;
  std::unique_ptr<TRecorder> recorder_;
  std::unique_ptr<TKAVMixer> mixer_;
  std::unique_ptr<TAudioOutput> output_;
  std::unique_ptr<TMainThreadDispatcher> sync_;
  std::unique_ptr<TTimerThread> updateTimer_, holdTimer_;
  std::string latencyText_;
  bool closed_ = false;
  double startMs_ = 0, shutdownMs_ = 0;
};

}  // namespace zonda
