#pragma once
// What the main window's deck and mixer handlers work on: links to the engine
// objects the program owns, each deck's control state (search, CUE hold,
// bends, jog, slow pitch reset, mixer overrides) and the periodic update's
// tick counters. The handlers live in app/MainForm*.cpp by concern.
//
// Main thread only, except CursorX (written by the main thread, read by the
// hold-tracking timer).
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/MixerLaws.h"

namespace zonda {

class TSoundSource;
class TKAVMixer;
class TRecorder;
class TFFTFilter;
class TLanguageTables;
class TActionTables;
struct TConfigValues;

// The program's objects the main window drives; the program owns them.
struct TMainFormLinks {
  std::array<TSoundSource*, 2> Deck{};   // 0 = A, 1 = B
  std::array<TFFTFilter*, 2> Equaliser{};
  TKAVMixer* Mixer = nullptr;
  TRecorder* Recorder = nullptr;
  TConfigValues* Config = nullptr;
  TLanguageTables* Language = nullptr;
  const std::atomic<uint8_t>* EngineRunning = nullptr;
  // Asks no question (the exit was confirmed); runs the shutdown.
  std::function<void()> FormClose;
  // The DJ controller's lamp (1..25) on or off; sent only on a change.
  std::function<void(int lamp, bool on)> Lamp;
};

// Action indexes of one deck, looked up once.
struct TDeckActions {
  int play = -1, inMaster = -1, reverse = -1, loopSong = -1, brake = -1, scratch = -1, slowBpm = -1, editBpm = -1;
  std::array<int, 9> cue{};  // 1..8
  std::array<int, 3> kill{};
  int boost = -1, mute = -1, fxOn[4] = {-1, -1, -1, -1};
  int pitch = -1, pos = -1, volume = -1, gain = -1, cutoffKnob = -1, jog = -1;
  std::array<int, 3> eq{};
  int pitchText = -1, elapsed = -1, remained = -1, songName = -1, cutoffText = -1, analogIn = -1;
  int display = -1;
  int bendDown = -1, bendUp = -1, bpm = -1;
};

struct TDeckUi {
  int32_t SearchBackCounter = -1;
  int32_t SearchForwardCounter = -1;
  int32_t CueHoldCounter = -1;
  std::string PendingSongName;
  bool SlowResetPending = false;
  bool BendDownActive = false;
  bool BendUpActive = false;
  int32_t BendBase = 0;
  int32_t BendLimit = 0;
  double BendOffset = 0.0;
  int32_t JogPosition = 0;
  TDeckOverride Override;  // mute (button or display right button) and boost
  int64_t MissingAudioWarned = 0;  // silent frames of the deck already reported
  std::array<bool, 3> Kill{};
  TDeckActions A;
};

struct TMainFormState {
  std::array<TDeckUi, 2> Deck;
  TCrossfaderState Crossfader;
  TPhonesState Phones;
  uint8_t TickCount = 0;  // 0..14
  bool Blink = false;
  bool PeriodTick = false;
  int64_t Ticks = 0;      // every update since start (lamp phases)
  int32_t BeatDiff = 0;   // hundredths of a beat (beat sync)
  int crossfader = -1, cuePgmMix = -1, phonesSplit = -1, onAir = -1, talkOver = -1, recording = -1, clock = -1,
      recordTime = -1, random = -1, autodj = -1;
  // Last pointer x on the screen, for the hold-tracking timer.
  std::atomic<int32_t> CursorX{0};
};

}  // namespace zonda
