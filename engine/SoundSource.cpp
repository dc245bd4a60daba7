#include "engine/SoundSource.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "decoding/core/AudioReadError.h"
#include "engine/BeatAnalysis.h"
#include "engine/SongSettings.h"
#include "platform/ThreadRole.h"

namespace zonda {
namespace {

TDeckError gDeckErrorA;
TDeckError gDeckErrorB;

// Floor division, so frames before 0 land in chunk -1 (never a valid index).
int32_t ChunkOfFrame(int64_t frame) {
  return static_cast<int32_t>(frame >= 0 ? frame / kChunkFrames : (frame - kChunkFrames + 1) / kChunkFrames);
}

int64_t FloorToInt64(double v) {
  if (!std::isfinite(v)) return 0;
  const double f = std::floor(v);
  if (f < -9.0e18) return std::numeric_limits<int64_t>::min();
  if (f > 9.0e18) return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(f);
}

}  // namespace

TDeckError& DeckError(bool isDeckA) { return isDeckA ? gDeckErrorA : gDeckErrorB; }

TSoundSource::TSoundSource(bool isDeckA)
    : IsDeckA(isDeckA),
      Provider(std::make_unique<TDataProvider>()),
      VoiceOut_(4 * kOutBufferFrames),
      FadeOut_(4 * kOutBufferFrames),
      Analysis_(std::make_unique<TBeatAnalysis>()) {
  for (bool deck : {true, false}) {
    DeckError(deck).Flag.store(false);
    DeckError(deck).Code.store(0);
  }
  // Normal priority, not the lowest: a worker below ordinary processes is
  // starved by any busy program, and a playing deck then runs out of audio.
  Thread_ = std::make_unique<TSoundSourceThread>(
      TThreadPriority::Decoding, [this] { DecodeAheadStep(); }, isDeckA ? "zonda-deck-a" : "zonda-deck-b");
}

void TSoundSource::SetKeyLockEngine(TKeyLockEngine engine) {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  int32_t e = static_cast<int32_t>(engine);
  if (e < 0 || e > 2) e = 0;
  if (e > 0) {
    const size_t kind = static_cast<size_t>(e - 1);
    if (!VoicesReady_[kind].load(std::memory_order_acquire)) {
      const bool finer = e == static_cast<int32_t>(TKeyLockEngine::RubberBand);
      Voices_[2 * kind] = std::make_unique<TRubberBandVoice>(finer);
      Voices_[2 * kind + 1] = std::make_unique<TRubberBandVoice>(finer);
      VoicesReady_[kind].store(true, std::memory_order_release);
    }
  }
  KeyLockEngine.store(e);
}

int32_t TSoundSource::RubberBandLatency(TKeyLockEngine engine) const noexcept {
  const int32_t e = static_cast<int32_t>(engine);
  if (e < 1 || e > 2 || !VoicesReady_[static_cast<size_t>(e - 1)].load(std::memory_order_acquire)) return 0;
  return Voices_[2 * static_cast<size_t>(e - 1)]->StartDelay();
}

TSoundSource::~TSoundSource() {
  TerminateFlag.store(true);
  Thread_->Terminate();
  WakeEvent.Signal();
  // A step still busy after the wait (a long open or decode) is waited for
  // anyway: the deck must not be freed under its worker.
  Thread_->WaitFor(kWorkerJoinTimeoutMs);
  Thread_->Join();
  Thread_.reset();
  const bool hadSong = Loaded.exchange(false);
  if (hadSong) SaveSongSettings();
  ReleaseAllChunks();
  Provider->Close();
}

// ---------------------------------------------------------------- main thread

bool TSoundSource::Load(const std::string& fileName) {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  if (LoadPending.load()) return false;
  LoadOk.store(false);
  // Only a song that opened has its own values in the deck: after a failed
  // open they still belong to the song before, and must not be filed under
  // the failed file's name.
  if (Loaded.load()) SaveSongSettings();
  if (OnTrackUnload) OnTrackUnload();
  LoadAnnounced.store(false);
  FileName = fileName;
  SeekPending.store(false);
  LastFrame.store(0);
  CuePoint.store(0);
  ScratchMode.store(false);
  LoadPending.store(true, std::memory_order_release);
  WakeEvent.Signal();
  return true;
}

void TSoundSource::RequestSeek(int32_t frame) {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  if (SeekPending.load() || !LoadOk.load() || Held.load()) return;
  SeekTarget.store(frame);
  SeekPending.store(true, std::memory_order_release);
  WakeEvent.Signal();
}

void TSoundSource::TogglePlay() {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  const bool nowPlaying = !Playing.load();
  Playing.store(nowPlaying);
  if (!nowPlaying) {
    ScratchMode.store(false);
    if (CueLogic.load() == 1) {
      CuePoint.store(PositionFrame());
      PinAround(CuePoint.load());
    }
  } else {
    CueMoved.store(false);
  }
}

void TSoundSource::BackToTop() {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  Playing.store(false);
  ScratchMode.store(false);
  ExitLoopForced();
  Position.store(0.0);
  CueJumpRequest.store(false);
  CueMoved.store(false);
}

void TSoundSource::SetPitch(int32_t permyriad) {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  PitchPermyriad.store(permyriad);
  TargetSpeed.store(Direction.load() * (1.0 + permyriad / 10000.0));
  if (!Held.load()) {
    Coast.store(false);
    Speed.store(TargetSpeed.load());
  }
}

void TSoundSource::SetDirection(int32_t direction) {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  const int32_t d = direction < 0 ? -1 : 1;
  Direction.store(d);
  TargetSpeed.store(d * (1.0 + PitchPermyriad.load() / 10000.0));
  if (!Held.load()) {
    Coast.store(false);
    Speed.store(TargetSpeed.load());
  }
}

void TSoundSource::PlayPause() {
  if (JogIdle.load() >= 0 && JogActive.load()) {
    ScratchEnd();
    JogIdle.store(-1);
  }
  TogglePlay();
}

bool TSoundSource::SetBrake(bool on) {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  if (!LoadOk.load()) return false;
  Brake.store(on);
  if (!on) Speed.store(TargetSpeed.load());
  return true;
}

bool TSoundSource::SetSongLoop(bool on) {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  if (!LoadOk.load()) return false;
  if (on) PreloadEnd();
  SongLoop.store(on);
  return true;
}

bool TSoundSource::StopAtTrackEnd() {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  // The read-out's arithmetic: bytes elapsed, hundredths of a second left.
  const int64_t elapsedBytes = FloorToInt64(std::max(Position.load(), 0.0) * 4.0);
  const int64_t hundredthsLeft = TotalBytes.load() / 1764 - elapsedBytes / 1764;
  if (hundredthsLeft >= 3 || !Playing.load() || SongLoop.load() || !LoadOk.load()) return false;
  Playing.store(false);
  ScratchMode.store(false);
  return true;
}

void TSoundSource::RememberEq(int32_t band, int32_t knob) {
  if (band == 0) SongEqLow.store(knob);
  else if (band == 1) SongEqMid.store(knob);
  else if (band == 2) SongEqHigh.store(knob);
}

int32_t TSoundSource::PositionFrame() const {
  const int64_t f = FloorToInt64(Position.load());
  return static_cast<int32_t>(std::clamp<int64_t>(f, INT32_MIN, INT32_MAX));
}

void TSoundSource::Nudge(double deltaFrames) {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  const double p = Position.load() + deltaFrames;
  if (LoopActive.load()) {
    const double start = LoopStart.load();
    const double end = LoopEnd.load();
    if (p >= start && p <= end) {
      Position.store(p);
      return;
    }
    // Outside the loop: one beat back into it, or nothing.
    const double q = p < start ? p + BeatFrames.load() : p - BeatFrames.load();
    if (q >= start && q <= end) Position.store(q);
    return;
  }
  if (p >= 0.0 && p <= LastFrame.load()) Position.store(p);
}

void TSoundSource::PinAround(double frame) {
  const int32_t c = ChunkOfFrame(FloorToInt64(frame));
  const int32_t count = ChunkCount.load();
  std::lock_guard guard(ChunkTableLock_);
  for (int32_t i = c - 1; i <= c + 1; ++i) {
    if (i < 0 || i >= count) continue;
    if (TChunk* chunk = Chunks[static_cast<size_t>(i)].load(std::memory_order_acquire)) chunk->Pinned.store(true);
  }
}

void TSoundSource::PreloadEnd() {
  // Not while the worker is opening a track (it owns the provider then).
  if (LoadPending.load() || !Loaded.load()) return;
  const int32_t count = ChunkCount.load();
  LoadChunk(count - 1);
  LoadChunk(count - 2);
}

void TSoundSource::FillDisplay() {
  const int32_t last = LastFrame.load();
  if (last == 0) return;
  const int32_t points = std::clamp(DisplayPoints.load(), 0, kDisplayLength);
  const int32_t count = ChunkCount.load();
  int64_t a = FloorToInt64(Position.load() * 200.0 / 44100.0) - points / 2;
  if (a % 2 != 0) a = a / 2 * 2;
  {
    std::lock_guard guard(ChunkTableLock_);
    for (int32_t i = 0; i < points; ++i) {
      const int64_t b = a + i;
      const TChunk* chunk = nullptr;
      if (b >= 0 && b / kDisplayLength < count) chunk = ChunkAt(static_cast<int32_t>(b / kDisplayLength));
      // Arrays are read only once the worker has finished analysing the chunk.
      if (chunk == nullptr || !chunk->Analysed.load(std::memory_order_acquire)) {
        DisplayBeats[i] = 0;
        DisplayWave[i] = 0;
      } else {
        DisplayBeats[i] = chunk->BeatEnvelope[static_cast<size_t>(b % kDisplayLength)];
        DisplayWave[i] = chunk->Waveform[static_cast<size_t>(b % kDisplayLength)];
      }
    }
  }
  const int64_t s = PositionFrame() - static_cast<int64_t>(std::floor(points * 44100.0 / 400.0));
  const int64_t e = s + static_cast<int64_t>(std::floor(points * 44100.0 / 200.0));
  auto mark = [&](int64_t frame, int16_t value) {
    if (frame < s || frame > e) return;
    const int64_t idx = FloorToInt64(static_cast<double>(frame - s) * 200.0 / 44100.0);
    if (idx >= 0 && idx < points) DisplayBeats[static_cast<size_t>(idx)] = value;
  };
  const int32_t cue = CuePoint.load();
  if (cue != 0) mark(cue, -5);
  if (LoopActive.load() || LoopInSet.load()) {
    mark(LoopStartEff.load(), -2);
    if (!LoopInSet.load()) mark(LoopEndEff.load(), -2);
  }
}

void TSoundSource::SaveSongSettings() {
  TSongRecord r;
  r.Name = SongNameOf(FileName);
  if (SongNameCharacters(r.Name) < 2) return;
  r.SlowFlags = SlowBPM.load() ? 1 : 2;
  r.GainByte = static_cast<uint8_t>((SongGain.load() + 200) & 0xFF);
  const int32_t detected = DetectedBPM.load();
  const bool useDetected = detected >= kBPMHistogramLow && detected <= kBPMHistogramHigh &&
                           BPMHistogram[static_cast<size_t>(detected - kBPMHistogramLow)].load() > 3;
  const double bpm = std::fabs(static_cast<double>(useDetected ? detected : StoredBPM.load()));
  r.BPM = BPMLocked.load() ? -bpm : bpm;
  const int32_t selected = SelectedCueSlot.load();
  r.SelectedSlot = static_cast<uint8_t>(selected >= 1 && selected <= 8 ? selected : 1);
  for (int i = 0; i < 8; ++i) r.Slots[i] = CueSlots[static_cast<size_t>(i + 1)].load();
  // The deck's song fields hold what the gain and equaliser knobs were set to.
  r.EqLow = SongEqLow.load();
  r.EqMid = SongEqMid.load();
  r.EqHigh = SongEqHigh.load();
  WriteSongRecord(r);
}

// ---------------------------------------------------------------- deck worker

void TSoundSource::DecodeAheadStep() {
  if (!WakeEvent.Wait()) return;
  if (TerminateFlag.load()) return;
  if (LoadPending.load(std::memory_order_acquire)) {
    OpenTrack(FileName);
    LoadPending.store(false, std::memory_order_release);
    FadeCount_.store(0);
  }
  int32_t c = 0;
  if (SeekPending.load(std::memory_order_acquire) && !Held.load()) {
    c = ChunkOfFrame(SeekTarget.load());
    SeekCompletion();
  } else {
    c = ChunkOfFrame(FloorToInt64(Position.load()));
    DecodeAroundPosition();
  }
  // Analysis waits until the audio a playing or cued deck needs next is
  // decoded, and gives way to a new load or seek.
  if (!DecodingNeeded()) AnalyseChunk(c);
  if (!DecodingNeeded()) AnalyseChunk(Speed.load() > 0 ? c + 1 : c - 1);
  WorkerPasses.fetch_add(1, std::memory_order_release);
}

bool TSoundSource::DecodingNeeded() const {
  if (LoadPending.load(std::memory_order_acquire) || SeekPending.load(std::memory_order_acquire)) return true;
  if (!Loaded.load()) return false;
  const int32_t c = ChunkOfFrame(FloorToInt64(Position.load()));
  const int32_t next = Speed.load() > 0 ? c + 1 : c - 1;
  const int32_t count = ChunkCount.load();
  auto missing = [&](int32_t i) { return i >= 0 && i < count && ChunkAt(i) == nullptr; };
  return missing(c) || missing(next);
}

void TSoundSource::SeekCompletion() {
  const int32_t target = SeekTarget.load();
  const int32_t c = ChunkOfFrame(target);
  const bool forwards = Speed.load() > 0;
  const int32_t next = forwards ? c + 1 : c - 1;
  // The deck is silent until the seek completes, so only the chunk under the
  // target is decoded first, and its neighbour too only when the target lies
  // within a second of the edge the deck plays towards.
  LoadChunk(c);
  const int32_t intoChunk = target - c * kChunkFrames;
  if (forwards ? intoChunk > kChunkFrames - 44100 : intoChunk < 44100) LoadChunk(next);
  ExitLoopForced();
  Position.store(target);
  SeekPending.store(false, std::memory_order_release);
  LoadChunk(next);
  // Chunk 0 and the last two are never visited; pinned chunks stay.
  const int32_t count = ChunkCount.load();
  for (int32_t i = 1; i <= count - 3; ++i) {
    if (SeekPending.load(std::memory_order_acquire)) break;  // a newer seek frees for itself
    if ((i < c - 1 || i > c + 1) && ChunkAt(i) != nullptr) FreeChunk(i, false);
  }
}

void TSoundSource::DecodeAroundPosition() {
  const int32_t c = ChunkOfFrame(FloorToInt64(Position.load()));
  LoadChunk(c);
  const bool looping = LoopActive.load() || LoopInSet.load();
  if (Speed.load() > 0) {
    if (!looping) FreeChunk(c - 2, false);
    LoadChunk(c + 1);
  } else {  // speed 0 counts as backwards
    if (!looping) FreeChunk(c + 2, false);
    LoadChunk(c - 1);
  }
}

bool TSoundSource::OpenTrack(const std::string& fileName) {
  Provider->Close();
  Loaded.store(false);
  ReleaseAllChunks();
  ChunkCount.store(0);

  TDeckError& error = DeckError(IsDeckA);
  if (!Provider->Open(fileName)) {
    Provider->Close();
    error.Code.store(Provider->LastError());
    error.Flag.store(true);
    return false;
  }
  const int32_t total = Provider->PCMLength();
  TotalBytes.store(total);
  if (total < kDeckBytesPerFrame) {  // nothing playable, not even one frame
    Provider->Close();
    error.Flag.store(true);
    return false;
  }
  ChunkCount.store(std::min(total / kChunkBytes + (total % kChunkBytes != 0 ? 1 : 0), kChunkTableSize));

  LoadSongSettings();

  AnalysisGeneration_.fetch_add(1);  // the old track's analysis results stop counting
  Playing.store(false);
  LoopActive.store(false);
  LoopInSet.store(false);
  ExitLoopPending.store(false);
  LastFrame.store(total / 4 - 1);
  Position.store(0.0);
  Speed.store(1.0);
  Brake.store(false);
  Coast.store(false);
  StartFromHold.store(false);
  SongLoop.store(false);
  CueMoved.store(false);
  CueJumpRequest.store(false);
  RampTarget_.store(1.0);
  SmoothedSpeed_.store(1.0);
  RampStep_.store(0.0);
  KeyLockRender_ = TKeyLockRender{};
  Direction.store(1);
  PitchPermyriad.store(0);
  TargetSpeed.store(1.0);
  ScratchMode.store(false);

  LoadChunk(0);
  const int32_t last = LastFrame.load();
  const int32_t slot8 = CueSlots[8].load();
  if (slot8 == 0 || slot8 >= last) FindAutoCue();

  // Hot cues later than 2 s always jump into decoded audio: their chunk and
  // the nearer neighbour are decoded and pinned now.
  const int32_t count = ChunkCount.load();
  auto loadPinned = [this](int32_t index) {
    LoadChunk(index);
    std::lock_guard guard(ChunkTableLock_);
    if (TChunk* chunk = Chunks[static_cast<size_t>(index)].load()) chunk->Pinned.store(true);
  };
  for (size_t s = 1; s <= 8; ++s) {
    const int32_t f = CueSlots[s].load();
    if (f <= 88199 || f >= last) continue;
    const int32_t c = f / kChunkFrames;
    loadPinned(c);
    const int32_t neighbour = std::clamp(f % kChunkFrames < 132300 ? c - 1 : c + 1, 0, count - 1);
    loadPinned(neighbour);
  }

  // Ready means playable at once, whatever the machine is busy with: the
  // chunk after the start and the cue point's chunk with the one after it are
  // decoded before LoadOk (a stored hot cue's chunks are pinned above).
  LoadChunk(1);
  const int32_t cue = CuePoint.load();
  if (cue > 0 && cue < last) {
    LoadChunk(cue / kChunkFrames);
    LoadChunk(cue / kChunkFrames + 1);
  }

  Loaded.store(true);
  LoadOk.store(true, std::memory_order_release);
  return true;
}

void TSoundSource::LoadChunk(int32_t index) {
  if (index < 0 || index >= ChunkCount.load() || index >= kChunkTableSize) return;
  if (ChunkAt(index) != nullptr) return;

  // Decoded outside the table lock; value-initialised, so PCM beyond what the
  // provider delivers is silence.
  auto chunk = std::make_unique<TChunk>();
  int32_t got = 0;
  try {
    got = Provider->ReadPCM(static_cast<int32_t>(static_cast<int64_t>(index) * kChunkBytes), chunk->PCM.data(),
                            kChunkBytes);
  } catch (const EAudioReadError&) {
    // A failed stream read: the chunk stays silent and the worker lives on.
    std::memset(chunk->PCM.data(), 0, sizeof chunk->PCM);
    got = 0;
  }
  chunk->BytesRead = std::clamp(got, 0, kChunkBytes);
  const int32_t count = ChunkCount.load();
  chunk->Pinned.store(index == 0 || index == count - 1 || index == count - 2);

  std::lock_guard guard(ChunkTableLock_);
  auto& slot = Chunks[static_cast<size_t>(index)];
  if (slot.load() != nullptr) return;  // decoded meanwhile by the other caller
  slot.store(chunk.get(), std::memory_order_release);
  ChunkStore_[static_cast<size_t>(index)] = std::move(chunk);
}

void TSoundSource::FreeChunk(int32_t index, bool force) {
  if (index < 0 || index >= kChunkTableSize) return;
  std::unique_ptr<TChunk> victim;
  {
    std::lock_guard guard(ChunkTableLock_);
    auto& slot = Chunks[static_cast<size_t>(index)];
    TChunk* chunk = slot.load();
    if (chunk == nullptr) return;
    if (!force && (chunk->Pinned.load() || Held.load())) return;
    // seq_cst: ordered before the epoch read in WaitForRenderBlockEnd.
    slot.store(nullptr, std::memory_order_seq_cst);
    victim = std::move(ChunkStore_[static_cast<size_t>(index)]);
  }
  // A render block that began before the pointer was cleared may still read it.
  WaitForRenderBlockEnd();
}

void TSoundSource::ReleaseAllChunks() {
  for (int32_t i = 0; i < kChunkTableSize; ++i) {
    if (ChunkAt(i) != nullptr) FreeChunk(i, true);
  }
}

int32_t TSoundSource::ChunksPresent() const {
  int32_t n = 0;
  for (const auto& c : Chunks) n += c.load(std::memory_order_relaxed) != nullptr ? 1 : 0;
  return n;
}

void TSoundSource::FindAutoCue() {
  // First 10 ms window of chunk 0 above -40 dB (mean of |L|*|R|); 600 when none.
  const TChunk* chunk = ChunkAt(0);
  int32_t w = 0;
  if (chunk != nullptr) {
    for (; w < 600; ++w) {
      int64_t s = 0;
      const int16_t* frame = chunk->PCM.data() + static_cast<size_t>(w) * 441 * 2;
      for (int k = 0; k < 441; ++k) {
        s += static_cast<int64_t>(std::abs(frame[2 * k])) * std::abs(frame[2 * k + 1]);
      }
      const double level = 20.0 * std::log10(std::sqrt(static_cast<double>(s) / 441.0) / 32767.0);
      if (level > -40.0) break;
    }
  } else {
    w = 600;
  }
  CueSlots[8].store(w * 441);
  // A stored hot cue that is selected stays the active cue: a track whose
  // automatic cue is frame 0 keeps slot 8 "empty" and comes here at every
  // load, and the active cue would otherwise overwrite the selected slot.
  const int32_t selected = SelectedCueSlot.load();
  const int32_t stored = selected >= 1 && selected <= 7 ? CueSlots[static_cast<size_t>(selected)].load() : 0;
  CuePoint.store(stored != 0 ? stored : w * 441);
  ScratchMode.store(false);
}

void TSoundSource::LoadSongSettings() {
  const auto record = ReadSongRecord(SongNameOf(FileName));
  const TSongSettingsValues v = InterpretSongRecord(record ? *record : TSongRecord{});
  BPMLocked.store(v.BPMLocked);
  SlowBPM.store(v.SlowBPM);
  StoredBPM.store(v.StoredBPM);
  SongGain.store(v.Gain);
  for (size_t s = 1; s <= 8; ++s) CueSlots[s].store(v.Slots[s - 1]);
  SelectedCueSlot.store(v.SelectedSlot);
  CuePoint.store(CueSlots[static_cast<size_t>(v.SelectedSlot)].load());
  SongEqLow.store(v.EqLow);
  SongEqMid.store(v.EqMid);
  SongEqHigh.store(v.EqHigh);
  for (auto& votes : BPMHistogram) votes.store(0);
  DetectedBPM.store(0);
  DetectedBPMVotes.store(0);
}

void TSoundSource::ExitLoopForced() {
  LoopEnd.store(0);
  LoopInSet.store(false);
  LoopActive.store(false);
  ExitLoopPending.store(false);  // a pending exit of a loop that is gone must not end the next one
}

}  // namespace zonda
