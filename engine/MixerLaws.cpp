#include "engine/MixerLaws.h"

#include <algorithm>
#include <cmath>

#include "dsp/Levels.h"

namespace zonda {

double MixerGainFromDb(double dB) noexcept {
  const double g = std::pow(10.0, dB / 20.0);
  return g >= 1.0 / 32767.0 ? g : 1.0 / 32767.0;  // NaN too ends at the floor
}

TCrossfaderTable BuildCrossfaderTable(bool cutMode, int32_t curve) noexcept {
  TCrossfaderTable t{};
  if (cutMode) {
    for (int32_t i = 0; i < kCrossfaderPositions; ++i) t[size_t(i)] = i <= 63 ? 0.0 : kCutModeClosedDb;
    return t;
  }
  const int32_t c = std::clamp(curve, kCrossfaderCurveMin, kCrossfaderCurveMax);
  const double x = std::pow(91.0, 1.0 / double(127 - c));
  for (int32_t i = 0; i < kCrossfaderPositions; ++i) {
    t[size_t(i)] = i < c ? 0.0 : -(std::pow(x, double(i - c)) - 1.0);
  }
  return t;
}

double ApplyDeckOverride(double tableDb, TDeckOverride o) noexcept {
  if (o.mute) return kMuteDb;
  if (o.boost) return kBoostDb;
  return tableDb;
}

TCrossfaderLaw CrossfaderLaw(TCrossfaderState& state, int32_t v, TDeckOverride deckA,
                             TDeckOverride deckB) noexcept {
  if (state.dirty) {
    state.table = BuildCrossfaderTable(state.cutMode, state.curve);
    state.dirty = false;
  }
  v = std::clamp(v, 0, kCrossfaderPositions - 1);
  TCrossfaderLaw law;
  law.deckADb = ApplyDeckOverride(state.table[size_t(v)], deckA);
  law.deckBDb = ApplyDeckOverride(state.table[size_t(127 - v)], deckB);
  law.deckAInMaster = law.deckADb > kInMasterAboveDb;
  law.deckBInMaster = law.deckBDb > kInMasterAboveDb;
  return law;
}

double ChannelFaderDb(int32_t position) noexcept {
  const int32_t a = std::clamp(position, 0, 127);
  if (a == 0) return -318.0;
  return -(std::pow(91.0, double(127 - a) / 127.0) - 1.0);
}

double TrimFromGainDb(double gainDb) noexcept {
  if (!std::isfinite(gainDb)) gainDb = 0.0;
  return MixerGainFromDb(std::clamp(gainDb, -12.0, 12.0));
}

double EqualiserBandDb(int32_t knob, bool killed) noexcept {
  if (killed) return -80.0;
  const int32_t v = std::clamp(knob, -12, 12);
  return v < 0 ? 3.0 * v : double(v);
}

int32_t KillLampNumber(int32_t deck, TEqBand band) noexcept {
  const int32_t lowLamp = deck == 1 ? 16 : 24;
  return lowLamp - static_cast<int32_t>(band);
}

TCueLevels PreListenLaw(int32_t v) noexcept {
  v = std::clamp(v, -100, 100);
  if (v > 96) v = 100;
  if (v < -96) v = -100;
  TCueLevels c;
  if (v < 0) c.cueB = (100.0 + v) / 100.0;
  if (v > 0) c.cueA = (100.0 - v) / 100.0;
  return c;
}

void PhonesSplitClick(TPhonesState& s, bool switchOn) noexcept {
  if (switchOn) {
    s.splitHoldTicks = 0;
    s.split = true;
  } else {
    s.split = false;
    s.master = false;
  }
}

void PhonesSplitUnclick(TPhonesState& s) noexcept { s.splitHoldTicks = -1; }

void PhonesTick(TPhonesState& s) noexcept {
  if (s.splitHoldTicks == -1) return;
  if (s.splitHoldTicks >= kPhonesHoldTicks) {
    s.master = true;
    s.split = false;
    s.splitHoldTicks = -1;
    return;
  }
  ++s.splitHoldTicks;
}

bool PhonesLamp(const TPhonesState& s, int64_t tickCount) noexcept {
  if (s.master) return tickCount % 3 == 0;
  return s.split;
}

double TalkGainFor(bool talkOver) noexcept { return talkOver ? MixerGainFromDb(kTalkOverDb) : 1.0; }

double MicGainFor(bool onAir) noexcept { return onAir ? 1.0 : 0.0; }

bool OnAirSelectsLineA(bool onAir, bool deckALineIn) noexcept { return onAir && !deckALineIn; }

TStereoDb MeasureLevels(const void* block, int32_t bytes) noexcept {
  TStereoDb out;
  const int32_t frames = block != nullptr && bytes > 0 ? bytes / 4 : 0;
  if (frames == 0) return out;
  const auto* pcm = static_cast<const int16_t*>(block);
  double sl = 0, sr = 0;
  for (int32_t i = 0; i < frames; ++i) {
    sl += double(pcm[2 * i]) * pcm[2 * i];
    sr += double(pcm[2 * i + 1]) * pcm[2 * i + 1];
  }
  auto level = [frames](double s) {
    return s == 0 ? kSilenceDb : 20.0 * std::log10(std::sqrt(s / frames) / kFullScale);
  };
  out.left = level(sl);
  out.right = level(sr);
  return out;
}

}  // namespace zonda
