#include "engine/Mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/FFTFilter.h"
#include "engine/PreviewMonitor.h"
#include "engine/Recorder.h"
#include "engine/SampleMath.h"
#include "engine/SoundSource.h"
#include "platform/ThreadRole.h"

namespace zonda {

TKAVMixer::TKAVMixer(TMixerDeck deckA, TMixerDeck deckB, TRecorder* recorder)
    : Preview(std::make_unique<TPreviewMonitor>()),
      recorder_(recorder),
      deckAArea_(std::make_unique<Area>()),
      deckBArea_(std::make_unique<Area>()),
      masterArea_(std::make_unique<Area>()),
      monitorArea_(std::make_unique<Area>()),
      previewArea_(std::make_unique<Area>()),
      lineA_(std::make_unique<Area>()),
      lineB_(std::make_unique<Area>()),
      meterScratch_(std::make_unique<std::array<int16_t, kMeterScratchFrames * 2>>()) {
  auto link = [](DeckChain& c, const TMixerDeck& d) {
    c.deck = d.deck;
    c.equaliser = d.equaliser;
    for (int32_t i = 0; i < kDeckEffectSlots; ++i) c.effectSlots[size_t(i)].store(d.effectSlots[size_t(i)]);
  };
  link(chains_[0], deckA);
  link(chains_[1], deckB);
  for (size_t d = 0; d < 2; ++d) {
    chains_[d].channel = &Channels[d];
    chains_[d].lineArea = (d == 0 ? lineA_ : lineB_)->data();
    chains_[d].meterRing = &deckMeterRings_[d];
  }
}

TKAVMixer::~TKAVMixer() = default;

// ---- main thread ----

namespace {

void UpdateTarget(TMixerChannel& c) noexcept {
  c.Target.store(c.Volume.load(std::memory_order_relaxed) * c.XfadeGain.load(std::memory_order_relaxed),
                 std::memory_order_relaxed);
}

}  // namespace

void TKAVMixer::SetCrossfadeGain(int32_t deck, double dB) noexcept {
  if (deck != 0 && deck != 1) return;
  TMixerChannel& c = Channels[size_t(deck)];
  c.XfadeGain.store(MixerGainFromDb(dB), std::memory_order_relaxed);
  UpdateTarget(c);
}

void TKAVMixer::SetVolume(int32_t deck, double dB) noexcept {
  if (deck != 0 && deck != 1) return;
  TMixerChannel& c = Channels[size_t(deck)];
  c.Volume.store(MixerGainFromDb(dB), std::memory_order_relaxed);
  UpdateTarget(c);
}

void TKAVMixer::SetGain(int32_t deck, double gainDb) noexcept {
  if (deck == 0 || deck == 1) Channels[static_cast<size_t>(deck)].Trim.store(TrimFromGainDb(gainDb));
}

void TKAVMixer::SetLineIn(int32_t deck, bool on) noexcept {
  if (deck == 0 || deck == 1) Channels[static_cast<size_t>(deck)].LineIn.store(on);
}

void TKAVMixer::SetCrossfader(const TCrossfaderLaw& law) noexcept {
  SetCrossfadeGain(0, law.deckADb);
  SetCrossfadeGain(1, law.deckBDb);
}

void TKAVMixer::SetPreListen(const TCueLevels& levels) noexcept {
  Channels[0].Cue.store(levels.cueA, std::memory_order_relaxed);
  Channels[1].Cue.store(levels.cueB, std::memory_order_relaxed);
}

void TKAVMixer::SetEffectSlot(int32_t deck, int32_t slot, TMixerEffectSlot* effect) noexcept {
  if (slot < 0 || slot >= kDeckEffectSlots || (deck != 0 && deck != 1)) return;
  chains_[size_t(deck)].effectSlots[size_t(slot)].store(effect, std::memory_order_release);
}

double TKAVMixer::ReadLevels(TBufferSmall& ring, TStereoDb* both) noexcept {
  int16_t* scratch = meterScratch_->data();
  const int32_t held = std::min(ring.UsedBytes(), kMeterRingBytes) & ~3;
  int32_t got = 0;
  if (held > 0 && ring.Read(scratch, held)) got = held;
  const TStereoDb l = MeasureLevels(scratch, got);
  if (both != nullptr) *both = l;
  return (l.left + l.right) / 2.0;
}

bool TKAVMixer::RefillPreview() {
  for (const DeckChain& c : chains_) {
    if (c.deck != nullptr && c.deck->DecodingNeeded()) return false;
  }
  Preview->Refill();
  return true;
}

double TKAVMixer::Level(int32_t deck) noexcept {
  return deck == 0 || deck == 1 ? ReadLevels(deckMeterRings_[size_t(deck)], nullptr) : -96.0;
}

TStereoDb TKAVMixer::MasterLevels() noexcept {
  TStereoDb l;
  ReadLevels(masterMeterRing_, &l);
  return l;
}

// ---- audio thread ----

int16_t* TKAVMixer::LineArea(int32_t line) noexcept {
  if (line == 0) return lineA_->data();
  if (line == 1) return lineB_->data();
  return nullptr;
}

bool TKAVMixer::RenderDeck(int32_t deck, int16_t* area, int32_t bytes) noexcept {
  if (deck != 0 && deck != 1) return true;
  return RenderChain(chains_[size_t(deck)], area, bytes);
}

bool TKAVMixer::RenderChain(DeckChain& c, int16_t* area, int32_t bytes) noexcept {
  const int32_t frames = std::clamp(bytes / 4, 0, kMixerAreaFrames);
  if (area == nullptr || frames == 0) return true;
  const size_t blockBytes = size_t(frames) * 4;

  if (c.channel->LineIn.load(std::memory_order_relaxed)) {
    std::memcpy(area, c.lineArea, blockBytes);
  } else {
    // Equal pieces of about 250 frames; the last one also takes what the division leaves.
    int32_t pieces = std::clamp(SubBlocks_.load(std::memory_order_relaxed), 1, frames);
    const int32_t pieceFrames = frames / pieces;
    int32_t done = 0;
    for (int32_t k = 0; k < pieces; ++k) {
      const int32_t n = (k == pieces - 1) ? frames - done : pieceFrames;
      int16_t* at = area + size_t(done) * 2;
      if (c.deck == nullptr || !c.deck->RenderBlock(at, n * 4)) std::memset(at, 0, size_t(n) * 4);
      done += n;
    }
  }

  // Effect slots get the deck's playing tempo; the pitch field holds +pitch,
  // so tempo = BPM x (1 + pitch / 10000).
  double tempo = 0.0;
  if (c.deck != nullptr) {
    tempo = c.deck->DetectedBPM.load(std::memory_order_relaxed) *
            (1.0 + c.deck->PitchPermyriad.load(std::memory_order_relaxed) / 10000.0);
  }
  for (auto& slot : c.effectSlots) {
    TMixerEffectSlot* effect = slot.load(std::memory_order_acquire);
    if (effect != nullptr) effect->ProcessBlock(area, int32_t(blockBytes), tempo);
  }

  c.channel->Filter.ProcessStereo(area, int32_t(blockBytes));
  if (c.equaliser != nullptr) c.equaliser->ProcessStereo(area, int32_t(blockBytes));

  const double trim = c.channel->Trim.load(std::memory_order_relaxed);
  if (trim != 1.0) {
    for (int32_t i = 0; i < frames * 2; ++i) area[i] = RoundToSample(area[i] * trim);
  }
  c.meterRing->Write(area, int32_t(blockBytes));  // dropped when the meter is not read
  return true;
}

namespace {

// One ramp step: towards the latched target, landing on it exactly.
inline void MoveGain(double& current, double latched, double step) noexcept {
  if (std::fabs(latched - current) >= std::fabs(step) && step != 0.0) {
    current += step;
  } else {
    current = latched;
  }
}

}  // namespace

bool TKAVMixer::MixBlock(int16_t* destination, int32_t bytes) noexcept {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Main);
  ZONDA_EXPECT_NOT_ON(TThreadRole::Worker);
  if (!running_.load(std::memory_order_acquire) || destination == nullptr) return false;
  const int32_t frames = bytes / 4;
  if (frames <= 0 || frames > kMixerAreaFrames) return false;
  const size_t blockBytes = size_t(frames) * 4;
  int16_t* a = deckAArea_->data();
  int16_t* b = deckBArea_->data();
  int16_t* master = masterArea_->data();
  int16_t* monitor = monitorArea_->data();
  int16_t* preview = previewArea_->data();
  const int16_t* lineA = lineA_->data();

  RenderChain(chains_[0], a, int32_t(blockBytes));
  RenderChain(chains_[1], b, int32_t(blockBytes));
  TMixerPreviewSource* source = previewSource_.load(std::memory_order_acquire);
  if (source == nullptr) source = Preview.get();
  if (PreviewOn.load(std::memory_order_relaxed)) {
    source->ReadPreview(preview, int32_t(blockBytes));
  } else {
    std::memset(preview, 0, blockBytes);
  }

  // Every jump of a target becomes a 147-frame ramp.
  for (TMixerChannel& c : Channels) {
    const double target = c.Target.load(std::memory_order_relaxed);
    if (target != c.Latched) {
      c.Latched = target;
      c.Step = (c.Latched - c.Current) / kGainRampFrames;
    }
  }
  TMixerChannel& ca = Channels[0];
  TMixerChannel& cb = Channels[1];
  MicGain = MicGainFor(OnAir.load(std::memory_order_relaxed));
  TalkGain = TalkGainFor(TalkOver.load(std::memory_order_relaxed));
  const bool micInMaster = !ca.LineIn.load(std::memory_order_relaxed);

  for (int32_t i = 0; i < frames; ++i) {
    MoveGain(ca.Current, ca.Latched, ca.Step);
    MoveGain(cb.Current, cb.Latched, cb.Step);
    for (int32_t ch = 0; ch < 2; ++ch) {
      const int32_t k = 2 * i + ch;
      int16_t m = RoundToSample(ca.Current * a[k] + cb.Current * b[k]);
      // Line A is the microphone while deck A does not play it.
      if (micInMaster) m = RoundToSample(m * TalkGain + lineA[k] * MicGain);
      master[k] = m;
    }
  }

  std::memcpy(destination, master, blockBytes);
  masterMeterRing_.Write(master, int32_t(blockBytes));
  if (recorder_ != nullptr && recorder_->Recording()) recorder_->Feed(master, int32_t(blockBytes));

  if (PhonesMaster.load(std::memory_order_relaxed)) {
    std::memcpy(monitor, master, blockBytes);
  } else if (PhonesSplit.load(std::memory_order_relaxed)) {
    // Deck A in mono on the left ear, deck B in mono on the right.
    for (int32_t i = 0; i < frames; ++i) {
      const int32_t l = 2 * i, r = 2 * i + 1;
      monitor[l] = RoundToSample(a[l] / 2.0 + a[r] / 2.0 + preview[l] / 1.2);
      monitor[r] = RoundToSample(b[l] / 2.0 + b[r] / 2.0 + preview[r] / 1.2);
    }
  } else {
    const double cueA = ca.Cue.load(std::memory_order_relaxed);
    const double cueB = cb.Cue.load(std::memory_order_relaxed);
    for (int32_t k = 0; k < frames * 2; ++k) {
      monitor[k] = RoundToSample(cueA * a[k] / 1.2 + cueB * b[k] / 1.2 + preview[k] / 1.2);
    }
  }
  monitorRing_.Write(monitor, int32_t(blockBytes));
  return true;
}

bool TKAVMixer::ReadMonitor(int16_t* destination, int32_t bytes) noexcept {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Main);
  ZONDA_EXPECT_NOT_ON(TThreadRole::Worker);
  if (!running_.load(std::memory_order_acquire) || destination == nullptr) return false;
  return monitorRing_.Read(destination, bytes);
}

}  // namespace zonda
