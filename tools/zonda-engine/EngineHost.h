#pragma once
// TEngineHost: the real engine without a window. It owns the two decks with
// their equalisers, the mixer (with its cut-off filters and preview player),
// the recorder and the audio callbacks, keeps the state the main window's
// controls would hold (crossfader table and overrides, knob values, kill
// switches, headphone switch) and turns script commands into the same engine
// calls the control handlers make.
//
//   TEngineHost host(options);
//   host.RunOffline(script, "mix.wav");    // as fast as the machine allows
//   host.RunRealTime(script, "null");      // through libilvex.so
//
// Offline, the device is replaced by a loop that calls the output callback
// path (TAudioOutput::OnOutput, with silent line inputs) block after block;
// before each block it waits for the chunks the decks are about to play, so a
// fast render never outruns the decks' decode-ahead workers.
//
// Threads: everything here runs on the one main thread of the tool; in real
// time the library's audio thread runs the callbacks, as in the program.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "decoding/DataProvider.h"
#include "dsp/FFTFilter.h"
#include "engine/AudioOutput.h"
#include "engine/AutoDJ.h"
#include "engine/Mixer.h"
#include "engine/MixerLaws.h"
#include "engine/Recorder.h"
#include "engine/SoundSource.h"
#include "effects/EffectSlots.h"
#include "tools/zonda-engine/EngineScript.h"

namespace zonda::host {

class TWavWriter;

struct THostOptions {
  int32_t blockFrames = 0;    // device block; 0 = offline 512, real time the library's
  bool masterOnly = false;    // offline output: master only (2 channels) instead of 4
  bool verbose = false;       // report each command on stderr
  std::string lineFiles[2];   // offline: files played into line A / line B ("" = silent)
  // The Auto-DJ mixes these files in order instead of a script (empty: off),
  // with the mixing time in tenths of a second.
  std::vector<std::string> autoDjFiles;
  int32_t autoDjMixTime = 100;
  // Sound quality: the key lock engine of both decks (0 splice, 1 Rubber Band
  // R3, 2 Rubber Band R2) and the converter of sources not at 44.1 kHz
  // (0 built in, 1 libsoxr).
  int32_t keyLockEngine = 0;
  int32_t resampler = 0;
};

class TEngineHost {
 public:
  explicit TEngineHost(const THostOptions& options);
  ~TEngineHost();
  TEngineHost(const TEngineHost&) = delete;
  TEngineHost& operator=(const TEngineHost&) = delete;

  // Renders the script; outFile "" renders without writing. Returns the exit
  // status (0 ok, 1 output or device failure).
  int RunOffline(const TScript& script, const std::string& outFile);
  // Plays the script in real time; device "" keeps the library's own choice,
  // else null, portaudio, jack or alsa (ZONDA_AUDIO).
  int RunRealTime(const TScript& script, const std::string& device);

  // Any thread or a signal handler: ends a running run at its next block or
  // tick, finishing the recording and the output file as an "end" would.
  static void RequestStop() noexcept;

  // Prints one line per effect the slots can load: identifier, tab, kind
  // (native, ladspa or lv2), tab, name. Returns the exit status.
  static int ListEffects();

  // Frames rendered by the last run (offline) or played (real time).
  int64_t FramesRendered() const { return framesRendered_; }

 private:
  struct DeckControls {
    int32_t eqKnob[3] = {0, 0, 0};
    bool kill[3] = {false, false, false};
    int32_t filterKnob = 0;
    TDeckOverride buttons;
  };

  void ApplyStartupControls();
  void Apply(const TScriptCommand& c);
  void ApplyCrossfader();
  void ApplyEqBand(int32_t deck, int32_t band);
  void ApplyFilter(int32_t deck);
  void LoadDeck(const TScriptCommand& c);
  void Seek(const TScriptCommand& c);
  void RecordStop();
  // The periodic update's share: drain the recording, refill the preview, read the meters.
  void Tick();
  // Offline: the next block of the line inputs, in the device's float format.
  bool OpenLineInputs();
  void ReadLineInputs(float* input, int32_t frames);
  // Offline: waits (bounded) until the chunks the next block plays are decoded.
  void WaitForDecks(int32_t frames);
  void Report(const TScriptCommand& c, const std::string& text) const;
  // Binds the effect bridge, lists the bridged effects and hands the slots to
  // the mixer; only runs that use effects pay for the enumeration.
  void PrepareEffects(const TScript& script);
  void ApplyFx(const TScriptCommand& c);
  // Offline: waits (bounded) until the chunks under both positions are analysed.
  void WaitForAnalysis();
  TSoundSource& Deck(int32_t d) { return d == 0 ? *deckA_ : *deckB_; }
  // "A missing N blocks S s longest M ms B missing ...": the decks' silent blocks while playing.
  std::string MissingAudioReport() const;
  // --verbose: one line on stderr whenever a deck played silence for want of decoded audio.
  void WarnOfMissingAudio();
  // What runs while a command waits for a deck: the periodic work in real time, nothing offline.
  std::function<void()> Meanwhile();
  TFFTFilter& Equaliser(int32_t d) { return d == 0 ? *eqA_ : *eqB_; }
  // The Auto-DJ's share of a tick: triggers, steps, the slow pitch returns,
  // the end-of-track stops and the load errors.
  void AutoDJTick();
  void StartAutoDJ();
  double Seconds() const;  // the run's time, from its ticks
  // The list is used up, nothing plays, loads or fades.
  bool AutoDJFinished() const;
  class THostDecks;
  friend class THostDecks;

  THostOptions options_;
  std::unique_ptr<TSoundSource> deckA_, deckB_;
  std::unique_ptr<TFFTFilter> eqA_, eqB_;
  std::unique_ptr<TRecorder> recorder_;
  std::unique_ptr<TKAVMixer> mixer_;
  std::unique_ptr<TAudioOutput> output_;
  // The LV2 side of libilvex.so, for the effect slots (the audio side is opened per run).
  std::unique_ptr<IlvexLibrary> effectsIlvex_;
  std::unique_ptr<TEffectSlots> effects_;
  std::unique_ptr<TDataProvider> lineInputs_[2];
  int32_t linePositionBytes_[2] = {0, 0};

  // Control state of the window that is not here.
  TCrossfaderState crossfader_;
  int32_t crossfaderPosition_ = 63;
  int32_t filterMode_ = 0;
  DeckControls controls_[2];
  TPhonesState phones_;

  bool offline_ = true;
  bool readMeters_ = false;   // the script prints meters: read them every tick
  double nowSeconds_ = 0;     // time of the command being applied
  int64_t reportedMissing_[2] = {0, 0};  // missing-audio frames already warned of
  int64_t ticks_ = 0;
  int64_t framesRendered_ = 0;
  double decodeWaitSeconds_ = 0;  // offline: time spent waiting for the deck workers
  std::unique_ptr<THostDecks> autoDjDecks_;
  std::unique_ptr<TAutoDJ> autoDj_;
  size_t autoDjNext_ = 0;            // the list's next file
  bool slowReset_[2] = {false, false};
  bool wasRunning_ = false;
  TStereoDb lastMaster_;
  double lastLevel_[2] = {-96.0, -96.0};
};

}  // namespace zonda::host
