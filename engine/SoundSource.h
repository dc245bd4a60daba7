#pragma once
// TSoundSource: one deck's player. Two exist for the life of the program
// (DeckA with its deck flag set, DeckB without).
//
// A deck owns its decoder front (TDataProvider), the decoded track as a table
// of 6-second chunks (the chunk store), the transport state the controls write
// and the renderer reads, the cue/loop state, per-chunk analysis results and
// the display arrays, a wake event and its decode-ahead worker thread.
//
//   auto deck = std::make_unique<TSoundSource>(true);   // main thread
//   deck->Load("/music/track.wav");                      // returns at once
//   ... worker opens, decodes chunk 0, restores song settings, finds the auto cue
//   if (deck->LoadOk) deck->TogglePlay();                 // renderer starts
//
// Threads:
//   main         Load, RequestSeek, TogglePlay, PlayPause, StopAtTrackEnd,
//                SetBrake, SetSongLoop, BackToTop, SetPitch, SetDirection,
//                SetKeyLock, Nudge, the options, hot cues, cue and loop
//                operations, hold/jog/scratch gestures, PinAround,
//                PreloadEnd, FillDisplay, SaveSongSettings, construction and
//                destruction (Debug builds check that the operations never
//                run on the audio thread);
//   deck worker  DecodeAheadStep -> OpenTrack, LoadChunk, FreeChunk, seek
//                completion, analysis, LoadSongSettings; it runs at normal
//                priority, decodes what a playing or cued deck needs next
//                before it analyses, and is woken whenever the renderer
//                enters another chunk;
//   audio        RenderBlock (engine/SoundSourceRender.cpp): reads the chunk
//                table and transport fields, writes Position and renderer state.
//
// Sharing: every field another thread reads is a std::atomic with one writing
// side, with two exceptions: Position (main and audio both store whole values,
// the later store wins, the renderer by compare-exchange), and the loop flags,
// which ExitLoopForced clears from all three threads (main: BackToTop and
// ExitLoop; worker: seek completion; audio: the cue jump) - each store only
// ends the loop, so any order leaves it ended. The chunk table is read by the audio thread without any
// lock; a small ChunkTableLock_ only keeps main-thread readers (PinAround,
// FillDisplay, PreloadEnd) from seeing a chunk the worker is releasing. The
// audio thread never takes it.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "decoding/DataProvider.h"
#include "engine/AutoResetEvent.h"
#include "engine/KeyLockRubberBand.h"
#include "engine/KeyLockSplice.h"
#include "engine/SoundSourceThread.h"

namespace zonda {

class TBeatAnalysis;

inline constexpr int32_t kChunkBytes = 1058400;              // 6 s of deck PCM
inline constexpr int32_t kChunkFrames = kChunkBytes / 4;     // 264600
inline constexpr int32_t kChunkTableSize = 10000;            // chunk indices 0..9999
inline constexpr int32_t kFadeLength = 441;                  // stop de-click ramp, frames
inline constexpr int32_t kAnalysisLength = 12000;            // analysis points per chunk
inline constexpr int32_t kDisplayLength = 1200;              // overview points per chunk
inline constexpr int32_t kOutBufferFrames = 4001;            // largest render block
inline constexpr int32_t kBPMHistogramLow = 70;              // histogram covers 70..160 BPM
inline constexpr int32_t kBPMHistogramHigh = 160;
inline constexpr int32_t kBPMHistogramSize = kBPMHistogramHigh - kBPMHistogramLow + 1;
inline constexpr int32_t kWorkerJoinTimeoutMs = 2000;

// One decoded chunk. Created by LoadChunk on the worker (or main for
// PreloadEnd), published with a release store, released by FreeChunk.
// PCM beyond BytesRead is zero. Analysis fields are written by the worker;
// readers on other threads check Analysed (acquire) before reading the arrays.
struct TChunk {
  std::array<int16_t, kChunkFrames * 2> PCM;  // interleaved L/R
  int32_t BytesRead = 0;
  std::atomic<bool> Pinned{false};            // never released by a non-forced FreeChunk
  std::array<int16_t, kDisplayLength> Waveform{};
  std::array<int16_t, kDisplayLength> BeatEnvelope{};
  std::atomic<bool> Analysed{false};
  std::atomic<int32_t> BeatOffset{0};         // 0..9 analysis points
  std::atomic<double> ChunkBPM{0.0};          // 0 = none
  std::atomic<int32_t> BeatPeriod{0};         // analysis points
};

// The deck's global error flag and code, read and cleared by the periodic update.
struct TDeckError {
  std::atomic<bool> Flag{false};
  std::atomic<int32_t> Code{0};
};
// isDeckA true -> deck A's flag, else deck B's. Any thread.
TDeckError& DeckError(bool isDeckA);

class TSoundSource {
 public:
  // Main thread. Creates provider, display arrays, analysis scratch, wake
  // event, then the worker ("zonda-deck-a"/"-b", at normal priority); clears
  // both decks' error flags.
  explicit TSoundSource(bool isDeckA);
  // Main thread. Stops the worker (waits up to 2000 ms, then joins anyway so
  // nothing runs on a freed deck), saves the song settings, releases chunks.
  ~TSoundSource();
  TSoundSource(const TSoundSource&) = delete;
  TSoundSource& operator=(const TSoundSource&) = delete;

  // ---- main thread ----
  // Asynchronous load; false when a load is already pending.
  bool Load(const std::string& fileName);
  // Asynchronous jump; ignored while SeekPending, while not LoadOk, while Held.
  void RequestSeek(int32_t frame);
  void TogglePlay();
  void BackToTop();
  void SetPitch(int32_t permyriad);
  int32_t GetPitch() const { return PitchPermyriad.load(); }
  void SetDirection(int32_t direction);  // +1 or -1
  int32_t GetDirection() const { return Direction.load(); }
  void Nudge(double deltaFrames);
  // The PLAY/PAUSE button: a jog scratch still running ends first, then the
  // deck starts or stops (TogglePlay).
  void PlayPause();
  // The brake on or off; off returns to the pitch's speed at once. False (and
  // nothing changes) while no track is loaded.
  bool SetBrake(bool on);
  // The song loop on or off; on decodes the track's last two chunks first, so
  // the wrap to the start never waits. False while no track is loaded.
  bool SetSongLoop(bool on);
  // The time read-out's check: a playing deck without the song loop stops
  // within 3/100 s of its end (the renderer clamps, this ends play). True
  // when it stopped the deck.
  bool StopAtTrackEnd();
  // Key lock: the pitch changes the tempo only (splicing renderer, or Rubber
  // Band with SetKeyLockEngine).
  void SetKeyLock(bool on) { KeyLock.store(on); }
  // The key lock engine: the splice (built in, default) or Rubber
  // Band R3 / R2. Main thread: a Rubber Band engine's two stretchers are
  // created here the first time it is chosen (never on the audio thread);
  // the renderer changes engine at its next block, with a crossfade.
  void SetKeyLockEngine(TKeyLockEngine engine);
  TKeyLockEngine GetKeyLockEngine() const { return static_cast<TKeyLockEngine>(KeyLockEngine.load()); }
  // Options from the settings: CUE button logic 0..2 (out of range gives 0),
  // loop exit with one more pass, loops snapped to the nearest beat.
  void SetCueLogic(int32_t logic) { CueLogic.store(logic >= 0 && logic <= 2 ? logic : 0); }
  void SetLoopOptions(bool reloopAfterExit, bool snapToBeat) {
    ReloopAfterExit.store(reloopAfterExit);
    SnapLoopToBeat.store(snapToBeat);
  }
  // The gain and equaliser knobs the song memory keeps for this track.
  void RememberGain(int32_t gain) { SongGain.store(gain); }
  void RememberEq(int32_t band, int32_t knob);
  // Overview points the beat display shows (its width in points).
  void SetDisplayPoints(int32_t points) { DisplayPoints.store(points); }
  void PinAround(double frame);
  void PreloadEnd();
  void FillDisplay();
  void SaveSongSettings();

  // True once per load, for the caller that shows a finished load.
  bool TakeLoadAnnouncement() { return !LoadAnnounced.exchange(true); }
  // Any thread: floor of Position.
  int32_t PositionFrame() const;
  // Any thread but audio: a load or seek is waiting, or the chunk under the
  // position or the next one in the play direction is absent. Work that can
  // wait (analysis, the preview's refill) gives way while it is true.
  bool DecodingNeeded() const;

  // Any thread: blocks a playing deck rendered silent because the audio it
  // needed was not decoded yet (a starved worker, a seek into an undecoded
  // part), their frames, and the longest unbroken run of them in frames.
  int64_t MissingAudioBlocks() const noexcept { return MissingBlocks_.load(std::memory_order_relaxed); }
  int64_t MissingAudioFrames() const noexcept { return MissingFrames_.load(std::memory_order_relaxed); }
  int64_t LongestMissingAudioRun() const noexcept { return LongestMissingRun_.load(std::memory_order_relaxed); }

  // ---- deck worker ----
  void DecodeAheadStep();
  bool OpenTrack(const std::string& fileName);
  void LoadChunk(int32_t index);
  void FreeChunk(int32_t index, bool force);
  void FindAutoCue();
  void LoadSongSettings();
  // Any thread: ends the loop now (clears the loop flags). ExitLoop (an
  // unforced exit with a last pass) builds on it.
  void ExitLoopForced();
  // Analysis of one chunk (beat and tempo detection); the deck's hook for it,
  // called only when no decoding is needed.
  void AnalyseChunk(int32_t index);

  // Any thread: the chunk at index, or nullptr when absent or out of range.
  const TChunk* ChunkAt(int32_t index) const noexcept {
    if (index < 0 || index >= kChunkTableSize) return nullptr;
    return Chunks[static_cast<size_t>(index)].load(std::memory_order_acquire);
  }
  // Number of chunks present (tests, benchmarks; not for the audio thread).
  int32_t ChunksPresent() const;

  // ---- renderer state and operations (engine/SoundSourceRender.cpp) ----
  // Audio thread: the next bytes div 4 frames at the current speed into
  // destination. False (nothing written, the caller writes silence) for more
  // than 4001 frames, an empty deck or a chunk index beyond the table.
  bool RenderBlock(int16_t* destination, int32_t bytes) noexcept;
  // Audio thread (key-lock search): sum of L[start+k]*L[start+k+lag] +
  // R[...]*R[...] for k < count, indices modulo LastFrame + 1; 0 while SeekPending.
  double Correlate(int32_t start, int32_t count, int32_t lag) const noexcept;
  // Main thread: the cue jump (jump to CuePoint and stop). With wait, returns
  // once the renderer has jumped, at most ~250 ms later; when the audio thread
  // is not rendering (or does not answer in time) the jump is made here.
  void RequestCueJump(bool wait);
  // Renderer or RequestCueJump: stop, end the loop, Position := CuePoint.
  void PerformCueJump() noexcept;
  // Main thread: mouse hold on the deck display, x = cursor screen x.
  void HoldBegin(int32_t x) noexcept;
  void HoldMove(int32_t x) noexcept;  // also the hold-tracking timer
  void HoldEnd(int32_t x) noexcept;
  // Main thread: jog wheel. ticks < 1: an event without a size (controller).
  void ScratchBegin() noexcept;
  void ScratchEnd() noexcept;
  void JogMove(bool backwards, int32_t ticks) noexcept;
  // JogMove with the counter value of the event (steady clock, ns); tests.
  void JogMoveAt(bool backwards, int32_t ticks, int64_t nowCounter) noexcept;
  // Scratch mode on or off; it turns on only while playing and not held.
  // Returns the mode now.
  bool ToggleScratchMode() noexcept;
  // The jog wheel's bend (a turn while not scratching) queues presses of a
  // bend button; the periodic update takes them one per tick: Press while
  // presses are queued, then Release once, then None.
  enum class TJogBendStep { None, Press, Release };
  TJogBendStep TakeJogBend(bool up) noexcept;
  // A bend button released: the pitch is back, the jog bend is over.
  void EndJogBend() noexcept { JogBend.store(false); }
  // The periodic update, every tick: a jog hold ends three to four ticks
  // after the wheel stopped.
  void JogIdleTick() noexcept;
  // Hold-tracking timer thread, every 25 ms: the held platter chases its target.
  void TrackHolds(int32_t cursorX) noexcept;
  // Steady-clock ns of the last RenderBlock call (written by the audio thread).
  std::atomic<int64_t> LastRenderNs{INT64_MIN / 2};
  // Odd while a RenderBlock is running (incremented at its entry and exit).
  std::atomic<uint32_t> RenderEpoch{0};
  // Deck worker, before deleting a chunk it has just removed from Chunks: waits
  // until a block that may still read it has ended (blocks last microseconds).
  void WaitForRenderBlockEnd() const noexcept;

  // ---- identity and links ----
  const bool IsDeckA;
  // Runs on the main thread inside Load, before the new file name is stored.
  std::function<void()> OnTrackUnload;
  std::unique_ptr<TDataProvider> Provider;
  TAutoResetEvent WakeEvent;
  std::atomic<bool> TerminateFlag{false};
  // Equaliser (TFFTFilter): the mixer's, one per deck. The two analysis
  // filters belong to the deck's beat analysis (engine/BeatAnalysis.h).

  // ---- track ----
  std::string FileName;                       // written by Load (main) before LoadPending
  std::atomic<int32_t> TotalBytes{0};
  std::atomic<int32_t> ChunkCount{0};
  std::array<std::atomic<TChunk*>, kChunkTableSize> Chunks{};  // published view; owner below
  std::atomic<int32_t> LastFrame{0};
  std::atomic<bool> Loaded{false};
  std::atomic<bool> LoadOk{false};
  std::atomic<bool> LoadPending{false};
  std::atomic<bool> LoadAnnounced{false};     // the window has shown this load
  std::atomic<int32_t> RenderCount{0};        // audio thread
  std::atomic<uint32_t> WorkerPasses{0};      // finished DecodeAheadStep passes (tests, benchmarks)

  // ---- transport ----
  std::atomic<bool> Playing{false};
  std::atomic<double> Position{0.0};          // frames
  std::atomic<bool> SeekPending{false};
  std::atomic<int32_t> SeekTarget{0};
  std::atomic<bool> SongLoop{false};
  std::atomic<bool> Brake{false};
  std::atomic<int32_t> Direction{1};
  std::atomic<int32_t> PitchPermyriad{0};     // 800 = +8 %
  std::atomic<double> TargetSpeed{1.0};
  std::atomic<double> Speed{1.0};
  std::atomic<bool> KeyLock{false};
  std::atomic<int32_t> KeyLockEngine{0};      // TKeyLockEngine

  // ---- renderer state read by others (the renderer's own is private) ----
  // The speed the renderer plays at now (the smoothed ramp toward Speed).
  double RenderedSpeed() const noexcept { return SmoothedSpeed_.load(std::memory_order_relaxed); }
  // Frames of the stop de-click fade still to play.
  int32_t FadeFramesLeft() const noexcept { return FadeCount_.load(std::memory_order_relaxed); }
  // The key lock's jump at its next splice (audio thread, or any thread
  // while no block renders: tests).
  int32_t NextSpliceJump() const noexcept;
  // What the renderer played in its last block: 0 plain (no key lock), 1 the
  // splice key lock, 2 a Rubber Band voice (tests, benchmarks).
  int32_t RenderedPath() const noexcept { return KeyLockRender_.Path; }
  // Frames of an engine-switch crossfade still to play (tests).
  int32_t SwitchFadeLeft() const noexcept { return KeyLockRender_.FadeLeft; }
  // The Rubber Band voices' start delay in output frames (0 before one exists).
  int32_t RubberBandLatency(TKeyLockEngine engine) const noexcept;
  // Tests and benchmarks: the platter runs at speed at once, without a ramp
  // or a fade in progress. Not while the audio thread renders this deck.
  void StartAtSpeed(double speed) noexcept;
  std::atomic<bool> Coast{false};
  std::atomic<bool> StartFromHold{false};
  std::atomic<bool> ScratchMode{false};
  // hold and jog gestures (main thread and hold-tracking timer)
  std::atomic<bool> Held{false};
  std::atomic<bool> JogActive{false};
  std::atomic<bool> WasPlaying{false};
  std::atomic<int32_t> HoldStartX{0};
  std::atomic<int32_t> HoldStartPos{0};
  std::atomic<int32_t> LastMouseX{0};
  std::atomic<int32_t> LastMouseDelta{0};
  std::atomic<int32_t> ScratchTarget{0};
  std::atomic<int32_t> JogTicks{0};
  std::atomic<int32_t> JogStep{1};
  std::atomic<int64_t> JogTimestamp{0};
  std::atomic<double> JogInterval{0.0};
  std::atomic<int64_t> CounterFrequency{0};
  std::atomic<int32_t> JogIdle{0};
  std::atomic<bool> JogBend{false};
  std::atomic<int32_t> BendUpCount{0};
  std::atomic<int32_t> BendDownCount{0};

  // ---- cue and loop (main thread writes; renderer reads) ----
  std::atomic<int32_t> CuePoint{0};           // 0 = none
  std::array<std::atomic<int32_t>, 9> CueSlots{};  // slots 1..8 used; 0 = empty
  std::atomic<int32_t> SelectedCueSlot{1};
  std::atomic<int32_t> CueLogic{0};
  std::atomic<bool> CueMoved{false};
  std::atomic<bool> CueJumpRequest{false};
  std::atomic<bool> LoopActive{false};
  std::atomic<bool> LoopInSet{false};
  std::atomic<int32_t> LoopStart{0};
  std::atomic<int32_t> LoopEnd{0};            // 0 = no loop
  std::atomic<int32_t> LoopLength{0};
  std::atomic<int32_t> LoopStartEff{0};
  std::atomic<int32_t> LoopEndEff{0};
  std::atomic<int32_t> LoopLengthEff{0};
  std::atomic<int32_t> BeatFrames{22050};
  std::atomic<bool> SnapLoopToBeat{true};
  std::atomic<bool> ReloopAfterExit{true};
  std::atomic<bool> ExitLoopPending{false};

  // ---- cue and loop operations (engine/SoundSourceCue.cpp; main thread) ----
  // The CUE button by CueLogic: 0 standard (set a cue where the deck stands,
  // or jump to it), 1 jump and stop, 2 jump and stop / set where the hand
  // left the platter / start from the cue. Logics 1 and 2 wait for the
  // renderer's jump (RequestCueJump, bounded).
  void CuePress();
  // Hot cues: CueSlots 1..8, the selected one mirroring CuePoint (the
  // active cue). CueSlot gives 0 for an empty slot or one out of range.
  int32_t CueSlot(int32_t slot) const;
  // The active cue goes into the selected slot.
  void StoreCueInSelectedSlot();
  // Stores the active cue, selects slot, and makes its cue the active one.
  // Ignored for a slot outside 1..8.
  void SelectCueSlot(int32_t slot);
  // The selected slot and the active cue become empty.
  void EraseSelectedCue();
  // A beat-aligned frame within window frames of the position (the first
  // beat mark found, ascending), or the position itself without
  // SnapLoopToBeat or without a mark.
  int32_t SnapToBeat(int32_t windowFrames) const;
  // Loop in, loop out (length: the next power of two of sixteenths of a
  // beat above the elapsed time), or halve an active loop. False unless Loaded
  // or when the loop would end beyond the track.
  bool LoopInOut();
  // Loop of halfBeats half beats from the position (or, with a loop active,
  // a new requested end). False unless Loaded or beyond the track.
  bool SetBeatLoop(int32_t halfBeats);
  // Move the loop end / the whole loop by deltaFrames; false when no loop is
  // active or the result would leave the track (or be under 400 frames).
  bool ResizeLoop(int32_t deltaFrames);
  bool ShiftLoop(int32_t deltaFrames);
  // Leave the loop now (force, or without ReloopAfterExit), else after one
  // more pass (the renderer ends it at the next wrap).
  void ExitLoop(bool force);
  // "1  BEAT", "4  BEATS", "1 / 2  BEAT" ... while a loop is active, else deckText.
  std::string LoopLengthText(const std::string& deckText);
  // BPM of the chunk under the position: 0 while a seek is pending or the
  // chunk is absent, 120 when the chunk has no tempo. Any thread but audio.
  double CurrentBPM() const;
  // BeatFrames := 2646000 / CurrentBPM (nearest), 22050 at BPM 0.
  void RecomputeBeatFrames();

  // ---- analysis (deck worker writes) ----
  std::array<std::atomic<int32_t>, kBPMHistogramSize> BPMHistogram{};  // index = BPM - 70
  std::atomic<int32_t> DetectedBPM{0};
  std::atomic<int32_t> DetectedBPMVotes{0};
  std::atomic<int32_t> StoredBPM{0};
  std::atomic<bool> BPMLocked{false};
  std::atomic<bool> SlowBPM{false};

  // ---- analysis queries and range (engine/SoundSourceAnalysis.cpp) ----
  struct TBeatPhase {
    int32_t Frame = 0;       // the position
    int32_t BeatFrames = 0;  // frames per beat at the current tempo
    double Phase = 1.0;      // part of the beat passed, 0..1 (mirrored when playing backwards)
  };
  // Main thread (or a host's one thread): where the position stands in the beat.
  TBeatPhase GetBeatPhase() const;
  // Main thread: the slow range (75..124 BPM) on or off; every chunk is
  // analysed again and the votes and the BPM lock are cleared.
  void SetSlowBPM(bool on);
  // Main thread: the BPM dialog's result: analysis restarted in the slow
  // range `slow`, then the stored BPM and its lock.
  void EditBPM(bool slow, int32_t bpm, bool locked);
  // Any thread but audio: chunks of the track whose analysis has finished;
  // whether chunk index is present and analysed.
  int32_t ChunksAnalysed() const;
  bool ChunkAnalysed(int32_t index) const;

  // ---- song settings read at load (worker writes; main reads) ----
  std::atomic<int32_t> SongEqLow{0};
  std::atomic<int32_t> SongEqMid{0};
  std::atomic<int32_t> SongEqHigh{0};
  std::atomic<int32_t> SongGain{0};

  // ---- display (main thread) ----
  std::array<int16_t, kDisplayLength> DisplayBeats{};
  std::array<int16_t, kDisplayLength> DisplayWave{};
  std::atomic<int32_t> DisplayPoints{100};

 private:
  void ReleaseAllChunks();
  void SeekCompletion();
  void DecodeAroundPosition();
  // Audio thread: counts a silent block of a playing deck, or ends the run.
  void CountMissingAudio(bool missing, int32_t frames) noexcept;

  // Renderer state: the audio thread's alone (OpenTrack resets it while
  // LoadPending keeps the renderer away).
  std::array<int16_t, kOutBufferFrames * 2> OutBuffer_{};
  std::atomic<double> SmoothedSpeed_{1.0};
  std::atomic<double> RampTarget_{1.0};
  std::atomic<double> RampStep_{0.0};
  std::atomic<int32_t> FadeCount_{0};
  std::array<int16_t, 2> LastSample_{};
  TKeyLockSplice Splice_{};
  // Key lock engine switching and the Rubber Band voices (audio thread's).
  struct TKeyLockRender {
    int32_t Path = 0;                 // 0 plain, 1 splice, 2 voice: what the last block played
    TRubberBandVoice* Live = nullptr;     // the voice playing
    TRubberBandVoice* Warming = nullptr;  // the voice being started
    double WarmStartPos = 0.0;        // the position when Warming began
    double WarmSpeed = 0.0;
    // The crossfade from what played before a switch.
    int32_t FadeLeft = 0;
    int32_t FadePath = 0;             // 0 plain, 1 splice, 2 voice
    double FadePos = 0.0;
    TKeyLockSplice FadeSplice{};
    TRubberBandVoice* FadeVoice = nullptr;
    double StoredPos = 0.0;           // the position this renderer stored last
    // A pitch change reaches a voice's output only after its start delay: the
    // position advances at the speed of LiveDelay output frames ago.
    struct TSpeedChange {
      int64_t At = 0;                 // LiveClock at which Speed applies
      double Speed = 0.0;
    };
    std::array<TSpeedChange, 32> SpeedQueue{};
    int32_t QueueHead = 0;
    int32_t QueueCount = 0;
    double LiveSpeed = 0.0;           // the speed the voice's output plays at now
    double QueuedSpeed = 0.0;         // the last speed queued
    int64_t LiveClock = 0;            // output frames since the voice took over
    int32_t LiveDelay = 0;
  };
  TKeyLockRender KeyLockRender_{};
  // Two voices per Rubber Band engine (index 2 x (engine - 1) + k), created
  // by SetKeyLockEngine on the main thread, published by VoicesReady_.
  std::array<std::unique_ptr<TRubberBandVoice>, 4> Voices_{};
  std::array<std::atomic<bool>, 2> VoicesReady_{};
  std::vector<float> VoiceOut_, FadeOut_;  // 4 x kOutBufferFrames floats each: L then R

  std::atomic<int64_t> MissingBlocks_{0};
  std::atomic<int64_t> MissingFrames_{0};
  std::atomic<int64_t> LongestMissingRun_{0};
  std::atomic<int64_t> MissingRun_{0};        // audio thread
  std::atomic<int32_t> LastRenderedChunk_{-1};  // audio thread: wakes the worker on a chunk change

  // Restarts the analysis of every chunk with these settings.
  void RestartAnalysis(bool slow, bool locked, int32_t storedBPM);
  std::unique_ptr<TBeatAnalysis> Analysis_;   // worker only
  std::atomic<uint32_t> AnalysisGeneration_{0};  // a new track or range: results of the old are dropped
  uint32_t AnalysedGeneration_ = ~0u;         // worker: the generation Analysis_ works for

  std::array<std::unique_ptr<TChunk>, kChunkTableSize> ChunkStore_;  // owns what Chunks shows
  mutable std::mutex ChunkTableLock_;
  std::unique_ptr<TSoundSourceThread> Thread_;  // last member: started last, stopped first
};

}  // namespace zonda
