#pragma once
// The zonda-engine script: one timed command per line.
//
//   # comment lines and blank lines are skipped
//   at 0.0 load a track1.mp3
//   at 0.5 play a
//   at 2.0 crossfader 100
//   at 9.0 end
//
// Every command line is "at SECONDS COMMAND ARGUMENTS"; times never go back.
// ParseScript checks the whole text up front, so a script with a fault plays
// nothing: each fault is reported as "NAME:LINE: message". File names are the
// rest of the line (optionally in double quotes); relative names are taken
// from baseDir (the script's folder) when one is given.
//
// Pure functions, no engine: the host (TEngineHost) runs the commands.
#include <cstdint>
#include <string>
#include <vector>

namespace zonda::host {

enum class TCommandKind : int32_t {
  Load, Play, Pause, Stop, Seek, Pitch, Direction, Brake, KeyLock, SongLoop,
  Volume, Gain, Eq, Kill, Filter, FilterMode, Crossfader, CrossfaderCurve, CrossfaderCut,
  Boost, Mute, CueMix, Phones, TalkOver, OnAir, LineIn,
  RecordStart, RecordStop, Preview, PreviewSeek, PreviewOff, Meters, Report, Sync, SlowBPM, BPM, Fx, End,
};

// fx DECK SLOT load IDENT | on | off | drywet N
enum class TFxAction : int32_t { Load, Switch, DryWet };

enum class TPhonesMode : int32_t { Normal, Split, Master };

inline constexpr int32_t kBothDecks = 2;

struct TScriptCommand {
  int32_t line = 0;          // 1-based line in the script
  double timeSeconds = 0;
  TCommandKind kind = TCommandKind::End;
  int32_t deck = 0;          // 0 = A, 1 = B, kBothDecks = both (keylock without a deck)
  int32_t band = 0;          // eq/kill: 0 low, 1 mid, 2 high
  double value = 0;          // the numeric argument (pitch %, seconds, fader, knob ...)
  bool on = false;           // on/off arguments; direction: on = reverse; bpm: lock
  TPhonesMode phones = TPhonesMode::Normal;
  int32_t slot = 0;          // fx: the deck's effect slot 1..4
  TFxAction fx = TFxAction::Switch;
  std::string file;          // load, record start, preview; fx load: the effect's identifier
  std::string text;          // the command as written (after the time), for reports
};

struct TScriptError {
  int32_t line = 0;
  std::string message;
};

struct TScript {
  std::vector<TScriptCommand> commands;
  std::vector<TScriptError> errors;
  // The time of the "end" command, or of the last command when there is none.
  double EndSeconds() const;
};

// Parses a whole script. baseDir: folder for relative file names ("" = as written).
TScript ParseScript(const std::string& text, const std::string& baseDir);

// "NAME:LINE: message" for each error, one per line.
std::string FormatErrors(const TScript& script, const std::string& name);

// The command reference printed by --help.
const char* ScriptHelp();

}  // namespace zonda::host
