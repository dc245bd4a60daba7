#include "tools/zonda-engine/EngineHost.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "decoding/SoxrConversion.h"
#include "dsp/CutoffKnob.h"
#include "engine/BeatSync.h"
#include "engine/IlvexLibrary.h"
#include "platform/ProgramDir.h"
#include "engine/PreviewMonitor.h"
#include "tools/zonda-engine/WavWriter.h"

namespace zonda::host {
namespace {

constexpr int32_t kRate = 44100;
constexpr int32_t kOfflineBlockFrames = 512;
constexpr double kTickSeconds = 0.035;          // the periodic update's period
constexpr int32_t kPreviewRefillTicks = 15;
constexpr auto kWorkerWait = std::chrono::seconds(10);
constexpr auto kLoadWait = std::chrono::seconds(120);
// An Auto-DJ run ends when its list is played out, at the latest after 24 hours.
constexpr int64_t kAutoDJLongestFrames = int64_t(24) * 3600 * kRate;

// Set by RequestStop (a signal handler may call it).
volatile std::sig_atomic_t gStopRequested = 0;

const char* DeckName(int32_t d) { return d == 0 ? "deck A" : "deck B"; }
// The pitch slider's full range, permyriad: the window's largest pitch range.
constexpr int32_t kPitchRange = 9900;

// Polls done() until limit; `meanwhile` runs about every 35 ms of the wait
// (in real time the periodic work goes on: a long load must not overflow the
// recording ring).
template <class Pred>
bool WaitFor(Pred done, std::chrono::steady_clock::duration limit, const std::function<void()>& meanwhile = {}) {
  const auto start = std::chrono::steady_clock::now();
  const auto until = start + limit;
  auto nextMeanwhile = start + std::chrono::milliseconds(35);
  while (!done()) {
    const auto now = std::chrono::steady_clock::now();
    if (now > until) return false;
    if (meanwhile && now >= nextMeanwhile) {
      meanwhile();
      nextMeanwhile = now + std::chrono::milliseconds(35);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

bool UsesMeters(const TScript& script) {
  for (const TScriptCommand& c : script.commands) {
    if (c.kind == TCommandKind::Meters) return true;
  }
  return false;
}

int16_t FromDevice(float v) {
  const long s = std::lround(v / kOutputSampleScale);
  return static_cast<int16_t>(std::clamp<long>(s, -32768, 32767));
}

}  // namespace

void TEngineHost::RequestStop() noexcept { gStopRequested = 1; }

// The Auto-DJ's view of the host: the decks, the crossfader and the list of
// files. Offline a load is waited for (bounded), so the render never outruns
// it; in real time it completes while the ticks go on.
class TEngineHost::THostDecks : public TAutoDJDecks {
 public:
  explicit THostDecks(TEngineHost& host) : h_(host) {}
  bool Empty(int d) const override { return h_.Deck(d).FileName.empty() && !h_.Deck(d).LoadPending.load(); }
  bool Loading(int d) const override { return h_.Deck(d).LoadPending.load(); }
  bool Loaded(int d) const override { return h_.Deck(d).LoadOk.load() && !h_.Deck(d).LoadPending.load(); }
  bool Playing(int d) const override { return h_.Deck(d).Playing.load(); }
  int64_t Remaining(int d) const override {
    const TSoundSource& deck = h_.Deck(d);
    const int64_t b = static_cast<int64_t>(std::floor(std::max(deck.Position.load(), 0.0) * 4.0));
    return deck.TotalBytes.load() / 1764 - b / 1764;
  }
  void Play(int d) override {
    if (Loaded(d) && !Playing(d)) h_.Deck(d).PlayPause();
  }
  int32_t Crossfader() const override { return h_.crossfaderPosition_; }
  void SetCrossfader(int32_t value) override {
    h_.crossfaderPosition_ = value;
    h_.ApplyCrossfader();
  }
  bool ListEmpty() const override { return h_.options_.autoDjFiles.empty(); }
  bool LoadNext(int d) override {
    const std::vector<std::string>& files = h_.options_.autoDjFiles;
    if (h_.autoDjNext_ >= files.size()) return false;
    TSoundSource& deck = h_.Deck(d);
    if (deck.Playing.load()) deck.PlayPause();
    const uint32_t before = deck.WorkerPasses.load();
    if (!deck.Load(files[h_.autoDjNext_])) return false;
    const std::string& file = files[h_.autoDjNext_++];
    h_.slowReset_[d] = false;
    deck.SetPitch(0);
    std::printf("%.3f autodj load %s %s\n", h_.Seconds(), d == 0 ? "A" : "B", file.c_str());
    std::fflush(stdout);
    if (h_.offline_) {
      WaitFor([&] { return !deck.LoadPending.load() && deck.WorkerPasses.load() > before; }, kLoadWait);
      h_.WaitForAnalysis();
    }
    return true;
  }
  void Sync(int d) override {
    h_.WaitForAnalysis();
    const int other = 1 - d;
    // As the window's SYNC: a slow pitch return on either deck ends here.
    h_.slowReset_[0] = h_.slowReset_[1] = false;
    SyncDeck(h_.Deck(d), h_.Deck(other), -h_.Deck(other).GetPitch(), kPitchRange,
             [&](int32_t slider) { h_.Deck(d).SetPitch(-slider); });
  }
  int32_t BeatDiff() const override {
    h_.WaitForAnalysis();
    return zonda::BeatDiff(*h_.deckA_, *h_.deckB_);
  }
  // The window's pitch reset: a slow return to 0, or at once when one runs.
  void PitchReset(int d) override {
    if (h_.slowReset_[d]) {
      h_.slowReset_[d] = false;
      h_.Deck(d).SetPitch(0);
    } else {
      h_.slowReset_[d] = true;
    }
  }

 private:
  TEngineHost& h_;
};

double TEngineHost::Seconds() const { return static_cast<double>(ticks_) * kTickSeconds; }

void TEngineHost::AutoDJTick() {
  if (!autoDj_) return;
  for (int32_t d = 0; d < 2; ++d) {
    TDeckError& error = DeckError(Deck(d).IsDeckA);
    if (error.Flag.exchange(false)) {
      const int32_t code = error.Code.exchange(0);
      std::printf("%.3f autodj skip %s %s (%s)\n", Seconds(), d == 0 ? "A" : "B",
                  code == -1 ? "WRONG FILE FORMAT !" : "DAMAGED OR UNREADABLE FILE !", Deck(d).FileName.c_str());
      std::fflush(stdout);
    }
    autoDj_->Trigger(d, autoDjDecks_->Remaining(d));
    Deck(d).StopAtTrackEnd();
  }
  autoDj_->Tick(ticks_ % 3 == 0);
  if (autoDj_->Running() != wasRunning_) {
    wasRunning_ = autoDj_->Running();
    const int from = autoDj_->TowardB() ? 0 : 1;
    if (wasRunning_) {
      std::printf("%.3f autodj crossfade %s to %s, %.2f s left\n", Seconds(), from == 0 ? "A" : "B",
                  from == 0 ? "B" : "A", static_cast<double>(autoDjDecks_->Remaining(from)) / 100.0);
    } else {
      std::printf("%.3f autodj crossfader %d\n", Seconds(), crossfaderPosition_);
    }
    std::fflush(stdout);
  }
  // The slow pitch return: 0.1 % every 15 ticks, as the window's.
  if (ticks_ % 15 == 0) {
    for (int32_t d = 0; d < 2; ++d) {
      if (!slowReset_[d]) continue;
      const int32_t p = Deck(d).GetPitch();
      if (std::abs(p) > 10) {
        Deck(d).SetPitch(p > 0 ? p - 10 : p + 10);
      } else {
        Deck(d).SetPitch(0);
        slowReset_[d] = false;
      }
    }
  }
}

bool TEngineHost::AutoDJFinished() const {
  if (!autoDj_) return false;
  if (autoDj_->Running() || autoDjNext_ < options_.autoDjFiles.size()) return false;
  for (int32_t d = 0; d < 2; ++d) {
    const TSoundSource& deck = d == 0 ? *deckA_ : *deckB_;
    if (deck.Playing.load() || deck.LoadPending.load()) return false;
  }
  return true;
}

TEngineHost::TEngineHost(const THostOptions& options)
    : options_(options),
      deckA_(std::make_unique<TSoundSource>(true)),
      deckB_(std::make_unique<TSoundSource>(false)),
      eqA_(std::make_unique<TFFTFilter>()),
      eqB_(std::make_unique<TFFTFilter>()),
      recorder_(std::make_unique<TRecorder>()) {
  mixer_ = std::make_unique<TKAVMixer>(TMixerDeck{deckA_.get(), eqA_.get(), {}},
                                       TMixerDeck{deckB_.get(), eqB_.get(), {}}, recorder_.get());
  output_ = std::make_unique<TAudioOutput>(*mixer_);
  SetDeckResampler(static_cast<TResampler>(options_.resampler));
  deckA_->SetKeyLockEngine(static_cast<TKeyLockEngine>(options_.keyLockEngine));
  deckB_->SetKeyLockEngine(static_cast<TKeyLockEngine>(options_.keyLockEngine));
}

TEngineHost::~TEngineHost() {
  if (mixer_) mixer_->StopMixing();
  output_.reset();
  if (effects_) {
    effects_->DetachFromMixer(*mixer_);
    effects_->ReleaseEffectBridge();
    effects_.reset();
  }
  if (effectsIlvex_) effectsIlvex_->VstDeinit();
  if (recorder_->Recording()) recorder_->Stop();
  mixer_.reset();
}

// What start-up does when it applies the stored control values: the
// crossfader in the middle, faders up, filters off, flat equalisers.
void TEngineHost::ApplyStartupControls() {
  ApplyCrossfader();
  for (int32_t d = 0; d < 2; ++d) {
    mixer_->SetVolume(d, ChannelFaderDb(127));
    ApplyFilter(d);
    for (int32_t band = 0; band < 3; ++band) ApplyEqBand(d, band);
  }
  mixer_->SetPreListen(PreListenLaw(0));
}

void TEngineHost::Report(const TScriptCommand& c, const std::string& text) const {
  std::fprintf(stderr, "zonda-engine: %.3f s (line %d): %s\n", c.timeSeconds, c.line, text.c_str());
}

void TEngineHost::ApplyCrossfader() {
  const TCrossfaderLaw law = CrossfaderLaw(crossfader_, crossfaderPosition_, controls_[0].buttons, controls_[1].buttons);
  mixer_->SetCrossfader(law);
}

void TEngineHost::ApplyEqBand(int32_t d, int32_t band) {
  const double dB = EqualiserBandDb(controls_[d].eqKnob[band], controls_[d].kill[band]);
  TFFTFilter& eq = Equaliser(d);
  if (band == 0) {
    eq.SetLowGain(dB);
  } else if (band == 1) {
    eq.SetMidGain(dB);
  } else {
    eq.SetHighGain(dB);
  }
}

void TEngineHost::ApplyFilter(int32_t d) {
  const TCutoffSetting s = CutoffFromKnob(filterMode_, controls_[d].filterKnob);
  mixer_->Channels[static_cast<size_t>(d)].Filter.SetCutoff(s.lowPass, static_cast<float>(s.cutoffHz));
}

void TEngineHost::LoadDeck(const TScriptCommand& c) {
  TSoundSource& deck = Deck(c.deck);
  const uint32_t before = deck.WorkerPasses.load();
  if (!deck.Load(c.file)) {
    Report(c, std::string(DeckName(c.deck)) + ": a load is still pending");
    return;
  }
  if (!WaitFor([&] { return !deck.LoadPending.load() && deck.WorkerPasses.load() > before; }, kLoadWait,
               Meanwhile())) {
    Report(c, std::string(DeckName(c.deck)) + ": the load of " + c.file + " did not finish");
    return;
  }
  TDeckError& error = DeckError(deck.IsDeckA);
  if (error.Flag.exchange(false)) {
    const int32_t code = error.Code.exchange(0);
    Report(c, std::string(DeckName(c.deck)) + ": " +
                  (code == -1 ? "WRONG FILE FORMAT !" : "DAMAGED OR UNREADABLE FILE !") + " (" + c.file + ")");
    return;
  }
  if (options_.verbose) {
    Report(c, std::string(DeckName(c.deck)) + ": loaded " + c.file + ", " +
                  std::to_string((deck.LastFrame.load() + 1) / kRate) + " s");
  }
}

void TEngineHost::Seek(const TScriptCommand& c) {
  TSoundSource& deck = Deck(c.deck);
  const int64_t frame = std::clamp<int64_t>(std::llround(c.value * kRate), 0, deck.LastFrame.load());
  deck.RequestSeek(static_cast<int32_t>(frame));
  if (!WaitFor([&] { return !deck.SeekPending.load(); }, kWorkerWait, Meanwhile())) {
    Report(c, std::string(DeckName(c.deck)) + ": the seek did not finish");
  }
}

void TEngineHost::RecordStop() {
  // The periodic update would drain at most one more tick; here everything
  // mixed up to the stop reaches the file.
  for (int i = 0; i < 16; ++i) {
    const int64_t before = recorder_->RecordedBytes();
    recorder_->Drain();
    if (recorder_->RecordedBytes() == before) break;
  }
  recorder_->Stop();
}

void TEngineHost::Apply(const TScriptCommand& c) {
  nowSeconds_ = c.timeSeconds;
  if (options_.verbose && c.kind != TCommandKind::Load) Report(c, c.text);
  auto loaded = [&](int32_t d) {
    if (Deck(d).LoadOk.load()) return true;
    Report(c, std::string(DeckName(d)) + ": no track loaded, command ignored");
    return false;
  };
  switch (c.kind) {
    case TCommandKind::Load:
      LoadDeck(c);
      break;
    case TCommandKind::Play:
      if (loaded(c.deck) && !Deck(c.deck).Playing.load()) Deck(c.deck).PlayPause();
      break;
    case TCommandKind::Pause:
      if (loaded(c.deck) && Deck(c.deck).Playing.load()) Deck(c.deck).PlayPause();
      break;
    case TCommandKind::Stop:
      if (loaded(c.deck)) Deck(c.deck).BackToTop();
      break;
    case TCommandKind::Seek:
      if (loaded(c.deck)) Seek(c);
      break;
    case TCommandKind::Pitch:
      if (loaded(c.deck)) Deck(c.deck).SetPitch(static_cast<int32_t>(std::lround(c.value * 100.0)));
      break;
    case TCommandKind::Direction:
      if (loaded(c.deck)) Deck(c.deck).SetDirection(c.on ? -1 : 1);
      break;
    case TCommandKind::Brake:
      if (loaded(c.deck)) Deck(c.deck).SetBrake(c.on);
      break;
    case TCommandKind::KeyLock:
      for (int32_t d = 0; d < 2; ++d) {
        if (c.deck == kBothDecks || c.deck == d) Deck(d).SetKeyLock(c.on);
      }
      break;
    case TCommandKind::SongLoop:
      if (loaded(c.deck)) Deck(c.deck).SetSongLoop(c.on);
      break;
    case TCommandKind::Volume: {
      mixer_->SetVolume(c.deck, ChannelFaderDb(static_cast<int32_t>(c.value)));
      break;
    }
    case TCommandKind::Gain:
      mixer_->SetGain(c.deck, c.value);
      break;
    case TCommandKind::Eq:
      controls_[c.deck].eqKnob[c.band] = static_cast<int32_t>(c.value);
      ApplyEqBand(c.deck, c.band);
      break;
    case TCommandKind::Kill:
      controls_[c.deck].kill[c.band] = c.on;
      ApplyEqBand(c.deck, c.band);
      break;
    case TCommandKind::Filter:
      controls_[c.deck].filterKnob = static_cast<int32_t>(c.value);
      ApplyFilter(c.deck);
      break;
    case TCommandKind::FilterMode:
      filterMode_ = static_cast<int32_t>(c.value);
      ApplyFilter(0);
      ApplyFilter(1);
      break;
    case TCommandKind::Crossfader:
      crossfaderPosition_ = static_cast<int32_t>(c.value);
      ApplyCrossfader();
      break;
    case TCommandKind::CrossfaderCurve:
      crossfader_.curve = static_cast<int32_t>(c.value);
      crossfader_.dirty = true;  // what the configuration dialog does
      ApplyCrossfader();
      break;
    case TCommandKind::CrossfaderCut:
      crossfader_.cutMode = c.on;
      crossfader_.dirty = true;
      ApplyCrossfader();
      break;
    case TCommandKind::Boost:
      controls_[c.deck].buttons.boost = c.on;
      ApplyCrossfader();
      break;
    case TCommandKind::Mute:
      controls_[c.deck].buttons.mute = c.on;
      ApplyCrossfader();
      break;
    case TCommandKind::CueMix: {
      mixer_->SetPreListen(PreListenLaw(static_cast<int32_t>(c.value)));
      break;
    }
    case TCommandKind::Phones:
      if (c.phones == TPhonesMode::Normal) {
        PhonesSplitClick(phones_, false);
      } else {
        // A fresh press of the switch (off first when it is on): released at
        // once gives split mode, held past eight update ticks master mode.
        if (phones_.split || phones_.master) PhonesSplitClick(phones_, false);
        PhonesSplitClick(phones_, true);
        if (c.phones == TPhonesMode::Master) {
          for (int32_t i = 0; i <= kPhonesHoldTicks; ++i) PhonesTick(phones_);
        }
        PhonesSplitUnclick(phones_);
      }
      mixer_->SetPhones(phones_.split, phones_.master);
      break;
    case TCommandKind::TalkOver:
      mixer_->SetTalkOver(c.on);
      break;
    case TCommandKind::OnAir:
      mixer_->SetOnAir(c.on);
      break;
    case TCommandKind::LineIn:
      mixer_->SetLineIn(c.deck, c.on);
      break;
    case TCommandKind::RecordStart:
      if (recorder_->Recording()) {
        Report(c, "record: already recording to " + recorder_->FileName());
      } else if (!recorder_->Start(c.file)) {
        Report(c, "record: cannot create " + c.file);
      }
      break;
    case TCommandKind::RecordStop:
      if (!recorder_->Recording()) {
        Report(c, "record: not recording");
      } else {
        RecordStop();
      }
      break;
    case TCommandKind::Preview:
      if (mixer_->Preview->Open(c.file) == 0) {
        Report(c, "preview: cannot open " + c.file);
        mixer_->SetPreviewOn(false);
      } else {
        mixer_->SetPreviewOn(true);
      }
      break;
    case TCommandKind::PreviewSeek:
      mixer_->Preview->JumpToSecond(static_cast<int32_t>(c.value));
      break;
    case TCommandKind::PreviewOff:
      mixer_->SetPreviewOn(false);
      break;
    case TCommandKind::Meters:
      std::printf("%.3f meters A %.1f dB B %.1f dB master %.1f %.1f dB\n", c.timeSeconds, lastLevel_[0], lastLevel_[1],
                  lastMaster_.left, lastMaster_.right);
      std::fflush(stdout);
      break;
    case TCommandKind::Report:
      WaitForAnalysis();
      std::printf("%.3f report %s beatdiff %d\n", c.timeSeconds, MissingAudioReport().c_str(),
                  BeatDiff(*deckA_, *deckB_));
      std::fflush(stdout);
      break;
    case TCommandKind::Sync: {
      if (!loaded(c.deck)) break;
      const int32_t other = 1 - c.deck;
      WaitForAnalysis();
      const TSyncResult r = SyncDeck(Deck(c.deck), Deck(other), -Deck(other).GetPitch(), kPitchRange,
                                     [&](int32_t slider) { Deck(c.deck).SetPitch(-slider); });
      if (r == TSyncResult::NoTempo) Report(c, std::string(DeckName(c.deck)) + ": sync: no tempo to match");
      if (r == TSyncResult::OutOfRange) Report(c, std::string(DeckName(c.deck)) + ": sync: beyond the pitch range");
      break;
    }
    case TCommandKind::SlowBPM:
      if (loaded(c.deck)) Deck(c.deck).SetSlowBPM(c.on);
      break;
    case TCommandKind::BPM:
      if (loaded(c.deck)) Deck(c.deck).EditBPM(Deck(c.deck).SlowBPM.load(), static_cast<int32_t>(c.value), c.on);
      break;
    case TCommandKind::Fx:
      ApplyFx(c);
      break;
    case TCommandKind::End:
      break;
  }
}

namespace {

// lv2: also list the LV2 effects (reading every installed description takes seconds).
std::unique_ptr<TEffectSlots> MakeEffectSlots(IlvexLibrary* ilvex, bool lv2, bool report) {
  auto fx = std::make_unique<TEffectSlots>();
  fx->Host.EffectsFolder = ProgramPath("/effects");
  fx->Host.Ilvex = ilvex;
  if (fx->BindEffectBridge() == TEffectBridge::Incomplete && report)
    std::fprintf(stderr, "zonda-engine: %s\n", kBridgeErrorText);
  std::string error;
  if (!fx->BuildDxList(ProgramPath("/exclude_plugins.txt"), &error) && report)
    std::fprintf(stderr, "zonda-engine: %s No LADSPA effects are listed.\n", error.c_str());
  if (lv2 && !fx->BuildVstList(ProgramPath("/exclude_vst_plugins.txt"), &error) && report)
    std::fprintf(stderr, "zonda-engine: %s No LV2 effects are listed.\n", error.c_str());
  return fx;
}

std::unique_ptr<IlvexLibrary> LoadEffectsIlvex() {
  auto ilvex = std::make_unique<IlvexLibrary>();
  if (!ilvex->Load()) return nullptr;
  ilvex->VstInit(nullptr);
  return ilvex;
}

}  // namespace

void TEngineHost::PrepareEffects(const TScript& script) {
  bool used = false, lv2 = false;
  for (const TScriptCommand& c : script.commands) {
    used = used || c.kind == TCommandKind::Fx;
    lv2 = lv2 || (c.kind == TCommandKind::Fx && c.fx == TFxAction::Load && c.file.rfind('#', 0) == 0);
  }
  if (!used || effects_) return;
  effectsIlvex_ = lv2 ? LoadEffectsIlvex() : nullptr;
  effects_ = MakeEffectSlots(effectsIlvex_.get(), lv2, true);
  effects_->AttachToMixer(*mixer_);
}

void TEngineHost::ApplyFx(const TScriptCommand& c) {
  if (!effects_ || !effects_->HasSlots()) return;
  TEffectPlugin& slot = effects_->Slot(c.deck * kDeckEffectSlots + c.slot);
  switch (c.fx) {
    case TFxAction::Load:
      slot.SetActive(false);
      if (!slot.LoadPlugin(c.file)) Report(c, "effect '" + c.file + "' could not be loaded; the slot is empty");
      else if (options_.verbose) Report(c, "slot " + std::to_string(slot.SlotNumber()) + ": " + slot.Name());
      break;
    case TFxAction::Switch:
      if (slot.Empty() && c.on) Report(c, "the slot is empty, command ignored");
      slot.SetActive(c.on);
      break;
    case TFxAction::DryWet:
      slot.SetDryWetKnob(static_cast<int32_t>(c.value));
      break;
  }
}

int TEngineHost::ListEffects() {
  for (const TNativeEffectFile& f : ListNativeEffects(ProgramPath("/effects")))
    std::printf("%s\tnative\t%s\n", f.Path.c_str(), f.Name.c_str());
  auto ilvex = LoadEffectsIlvex();
  {
    auto fx = MakeEffectSlots(ilvex.get(), true, true);
    for (size_t i = 0; i < fx->DxList().size(); ++i)
      std::printf("*%zu\tladspa\t%s\n", i, FullPluginName(fx->DxList()[i]).c_str());
    for (size_t i = 0; i < fx->VstList().size(); ++i)
      std::printf("#%zu\tlv2\t%s\n", i, FullPluginName(fx->VstList()[i]).c_str());
  }
  if (ilvex) ilvex->VstDeinit();
  return std::fflush(stdout) == 0 ? 0 : 1;
}

void TEngineHost::WaitForAnalysis() {
  // Offline the render outruns the workers: the chunks under both positions
  // are analysed first, so a run gives the same result every time.
  if (!offline_) return;
  auto analysed = [&](int32_t d) {
    const TSoundSource& deck = Deck(d);
    return !deck.LoadOk.load() || deck.ChunkAnalysed(deck.PositionFrame() / kChunkFrames);
  };
  WaitFor(
      [&] {
        deckA_->WakeEvent.Signal();
        deckB_->WakeEvent.Signal();
        return analysed(0) && analysed(1);
      },
      kWorkerWait);
}

std::function<void()> TEngineHost::Meanwhile() {
  if (offline_) return {};
  return [this] { Tick(); };
}

std::string TEngineHost::MissingAudioReport() const {
  std::string text;
  char line[160];
  for (int32_t d = 0; d < 2; ++d) {
    const TSoundSource& deck = d == 0 ? *deckA_ : *deckB_;
    std::snprintf(line, sizeof line, "%s%s missing %lld blocks %.3f s longest %.1f ms", d == 0 ? "" : " ",
                  d == 0 ? "A" : "B", static_cast<long long>(deck.MissingAudioBlocks()),
                  static_cast<double>(deck.MissingAudioFrames()) / kRate,
                  static_cast<double>(deck.LongestMissingAudioRun()) * 1000.0 / kRate);
    text += line;
    std::snprintf(line, sizeof line, " bpm %d votes %d chunkbpm %.2f phase %.3f", deck.DetectedBPM.load(),
                  deck.DetectedBPMVotes.load(), deck.CurrentBPM(), deck.GetBeatPhase().Phase);
    text += line;
  }
  return text;
}

void TEngineHost::WarnOfMissingAudio() {
  for (int32_t d = 0; d < 2; ++d) {
    const int64_t frames = Deck(d).MissingAudioFrames();
    if (frames == reportedMissing_[d]) continue;
    std::fprintf(stderr, "zonda-engine: %s played %.1f ms of silence, its audio was not decoded in time\n",
                 DeckName(d), static_cast<double>(frames - reportedMissing_[d]) * 1000.0 / kRate);
    reportedMissing_[d] = frames;
  }
}

void TEngineHost::Tick() {
  ++ticks_;
  AutoDJTick();
  if (options_.verbose) WarnOfMissingAudio();
  if (recorder_->Recording()) recorder_->Drain();
  if (ticks_ % kPreviewRefillTicks == 0) mixer_->RefillPreview();
  if (readMeters_) {
    lastLevel_[0] = mixer_->Level(0);
    lastLevel_[1] = mixer_->Level(1);
    lastMaster_ = mixer_->MasterLevels();
  }
}

void TEngineHost::WaitForDecks(int32_t frames) {
  for (int32_t d = 0; d < 2; ++d) {
    TSoundSource& deck = Deck(d);
    if (!deck.LoadOk.load() || deck.LoadPending.load() || deck.SeekPending.load() || !deck.Playing.load()) continue;
    const int32_t count = deck.ChunkCount.load();
    const int32_t last = deck.LastFrame.load();
    if (count <= 0 || last <= 0) continue;
    const double pos = deck.Position.load();
    const double speed = deck.Speed.load();
    const double rate = std::max({1.0, std::fabs(speed), std::fabs(deck.RenderedSpeed())});
    // Key lock reads up to a splice interval plus its search window ahead; a
    // Rubber Band voice its warm-up, pad and input buffer.
    const double keyLockReach = deck.GetKeyLockEngine() == TKeyLockEngine::Splice ? 4200.0 : 20000.0;
    const double reach = (frames + 10) * rate + (deck.KeyLock.load() ? keyLockReach : 0.0);
    const int32_t dir = speed > 0 ? 1 : -1;  // the worker's rule: standstill counts as backwards
    auto chunkOf = [&](double frame) {
      return std::clamp(static_cast<int32_t>(std::clamp(frame, 0.0, double(last)) / kChunkFrames), 0, count - 1);
    };
    const int32_t here = chunkOf(pos);
    const int32_t ahead = chunkOf(pos + dir * reach);
    // Start the next chunk early so decoding overlaps the render of this one.
    const int32_t next = here + dir;
    if (next >= 0 && next < count && deck.ChunkAt(next) == nullptr) deck.WakeEvent.Signal();
    for (int32_t c : {here, ahead}) {
      if (deck.ChunkAt(c) != nullptr) continue;
      const auto waitStart = std::chrono::steady_clock::now();
      const bool ok = WaitFor(
          [&] {
            if (deck.ChunkAt(c) != nullptr) return true;
            deck.WakeEvent.Signal();
            return false;
          },
          kWorkerWait);
      decodeWaitSeconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - waitStart).count();
      if (!ok) {
        std::fprintf(stderr, "zonda-engine: %s: chunk %d was not decoded in time; rendering on\n", DeckName(d), c);
      }
    }
  }
}

bool TEngineHost::OpenLineInputs() {
  for (int32_t line = 0; line < 2; ++line) {
    const std::string& file = options_.lineFiles[line];
    if (file.empty()) continue;
    lineInputs_[line] = std::make_unique<TDataProvider>();
    if (!lineInputs_[line]->Open(file)) {
      std::fprintf(stderr, "zonda-engine: cannot open %s for line %c\n", file.c_str(), line == 0 ? 'A' : 'B');
      return false;
    }
  }
  return true;
}

void TEngineHost::ReadLineInputs(float* input, int32_t frames) {
  std::fill(input, input + size_t(frames) * 4, 0.0f);
  std::array<int16_t, kMixerAreaFrames * 2> pcm;
  for (int32_t line = 0; line < 2; ++line) {
    TDataProvider* p = lineInputs_[line].get();
    if (p == nullptr) continue;
    pcm.fill(0);
    const int32_t want = std::min(frames, kMixerAreaFrames) * 4;
    const int32_t room = std::max(0, p->PCMLength() - linePositionBytes_[line]);
    const int32_t got = room > 0 ? p->ReadPCM(linePositionBytes_[line], pcm.data(), std::min(want, room)) : 0;
    linePositionBytes_[line] = std::min(linePositionBytes_[line] + want, std::max(p->PCMLength(), 0));
    for (int32_t i = 0; i < got / 4; ++i) {
      input[4 * i + 2 * line] = pcm[size_t(2 * i)] / kInputSampleScale;
      input[4 * i + 2 * line + 1] = pcm[size_t(2 * i + 1)] / kInputSampleScale;
    }
  }
}

void TEngineHost::StartAutoDJ() {
  if (options_.autoDjFiles.empty()) return;
  autoDjDecks_ = std::make_unique<THostDecks>(*this);
  autoDj_ = std::make_unique<TAutoDJ>(*autoDjDecks_);
  autoDj_->SetMixTime(options_.autoDjMixTime);
  autoDj_->SwitchOn();
}

int TEngineHost::RunOffline(const TScript& script, const std::string& outFile) {
  offline_ = true;
  readMeters_ = UsesMeters(script);
  const int32_t block = options_.blockFrames > 0 ? options_.blockFrames : kOfflineBlockFrames;
  const int32_t channels = options_.masterOnly ? 2 : 4;
  TWavWriter writer;
  if (!outFile.empty() && !writer.Open(outFile, channels)) {
    std::fprintf(stderr, "zonda-engine: cannot create %s\n", outFile.c_str());
    return 1;
  }
  if (!OpenLineInputs()) return 1;
  PrepareEffects(script);
  output_->SetupBlockSizes(block);
  ApplyStartupControls();
  mixer_->Start();
  StartAutoDJ();

  const bool haveLines = lineInputs_[0] != nullptr || lineInputs_[1] != nullptr;
  std::vector<float> input(size_t(block) * 4, 0.0f);
  std::vector<float> device(size_t(block) * 4, 0.0f);
  std::vector<int16_t> pcm(size_t(block) * size_t(channels), 0);
  const int64_t endFrame = autoDj_ ? kAutoDJLongestFrames : std::llround(script.EndSeconds() * kRate);
  const double tickFrames = kTickSeconds * kRate;
  double nextTick = tickFrames;
  int64_t frame = 0;
  size_t next = 0;
  bool ended = false;
  bool writeFailed = false;
  while (true) {
    while (next < script.commands.size() &&
           std::llround(script.commands[next].timeSeconds * kRate) <= frame) {
      const TScriptCommand& c = script.commands[next++];
      if (c.kind == TCommandKind::End) {
        ended = true;
        break;
      }
      Apply(c);
    }
    if (ended || frame >= endFrame || gStopRequested || AutoDJFinished()) break;
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(block, endFrame - frame));
    WaitForDecks(n);
    if (haveLines) {  // without line files the line areas keep their silence
      ReadLineInputs(input.data(), n);
      output_->OnInput(input.data(), n);
    }
    const int32_t got = output_->OnOutput(device.data(), n);
    if (got != n) std::fill(device.begin(), device.begin() + size_t(n) * 4, 0.0f);
    if (!outFile.empty() && !writeFailed) {
      for (int32_t i = 0; i < n; ++i) {
        for (int32_t ch = 0; ch < channels; ++ch) pcm[size_t(i * channels + ch)] = FromDevice(device[size_t(4 * i + ch)]);
      }
      if (!writer.Write(pcm.data(), n)) {
        std::fprintf(stderr, "zonda-engine: writing %s failed\n", outFile.c_str());
        writeFailed = true;
      }
    }
    frame += n;
    while (frame >= nextTick) {
      Tick();
      nextTick += tickFrames;
    }
  }
  framesRendered_ = frame;
  mixer_->StopMixing();
  if (options_.verbose) {
    std::fprintf(stderr, "zonda-engine: rendered %.3f s; waited %.3f s for the decks' decoding\n",
                 double(frame) / kRate, decodeWaitSeconds_);
    std::fprintf(stderr, "zonda-engine: %s\n", MissingAudioReport().c_str());
  }
  if (recorder_->Recording()) RecordStop();
  if (!outFile.empty() && !writer.Close()) writeFailed = true;
  return writeFailed ? 1 : 0;
}

int TEngineHost::RunRealTime(const TScript& script, const std::string& device) {
  offline_ = false;
  readMeters_ = UsesMeters(script);
  if (!device.empty()) ::setenv("ZONDA_AUDIO", device.c_str(), 1);
  if (options_.blockFrames > 0) ::setenv("ZONDA_AUDIO_BLOCK", std::to_string(options_.blockFrames).c_str(), 1);
  IlvexLibrary ilvex;
  if (!ilvex.Load()) {
    std::fprintf(stderr, "zonda-engine: cannot load the audio device library: %s\n", ilvex.LastError().c_str());
    return 1;
  }
  ApplyStartupControls();
  PrepareEffects(script);
  if (!output_->Open(ilvex, nullptr)) {
    std::fprintf(stderr, "zonda-engine: no audio device could be opened\n");
    return 1;
  }
  if (options_.verbose) {
    std::fprintf(stderr, "zonda-engine: %s, %d-frame blocks in %d sub-blocks\n", output_->LatencyTextShown().c_str(),
                 output_->BlockSizes().DeviceFrames, output_->BlockSizes().SubBlocks);
  }
  mixer_->Start();
  StartAutoDJ();

  using Clock = std::chrono::steady_clock;
  // The script's clock: wall time less the time commands spent waiting for a
  // deck (a load on a busy machine), so the times after a slow load keep
  // their distances instead of firing at once.
  auto start = Clock::now();
  auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
  const double end = autoDj_ ? double(kAutoDJLongestFrames) / kRate : script.EndSeconds();
  double nextTick = kTickSeconds;
  size_t next = 0;
  bool ended = false;
  while (!ended && !gStopRequested && !AutoDJFinished()) {
    const double t = elapsed();
    while (next < script.commands.size() && script.commands[next].timeSeconds <= t) {
      const TScriptCommand& c = script.commands[next++];
      if (c.kind == TCommandKind::End) {
        ended = true;
        break;
      }
      const auto before = Clock::now();
      Apply(c);
      if (c.kind == TCommandKind::Load || c.kind == TCommandKind::Seek) {
        const auto waited = Clock::now() - before;
        start += waited;
        nextTick -= std::chrono::duration<double>(waited).count();  // the ticks went on meanwhile
      }
    }
    if (ended || (next == script.commands.size() && elapsed() >= end)) break;
    if (elapsed() >= nextTick) {
      Tick();
      nextTick += kTickSeconds;
      if (nextTick < elapsed()) nextTick = elapsed() + kTickSeconds;  // a long load: no burst of ticks
    }
    double wake = std::min(nextTick, end);
    if (next < script.commands.size()) wake = std::min(wake, script.commands[next].timeSeconds);
    const double sleep = wake - elapsed();
    if (sleep > 0) std::this_thread::sleep_for(std::chrono::duration<double>(std::min(sleep, kTickSeconds)));
  }
  framesRendered_ = std::llround(elapsed() * kRate);
  if (recorder_->Recording()) RecordStop();
  output_->Close(ilvex);
  mixer_->StopMixing();
  if (options_.verbose) std::fprintf(stderr, "zonda-engine: %s\n", MissingAudioReport().c_str());
  return 0;
}

}  // namespace zonda::host
