#pragma once
// Lv2Features: what the host offers every LV2 plug-in it instantiates: URID
// mapping, the options (block lengths and sample rate) and the promise of a
// bounded block length. Blocks may be of any length up to kMaxBlockFrames, so
// neither a fixed nor a power-of-two block length is offered.
//
// Threads: made and read on the main thread; the URIDs it holds are read on
// the audio thread.
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/ilvex/lv2/Lv2UridMap.h"

namespace zonda::ilvex {

inline constexpr double kLv2SampleRate = 44100.0;
// The largest block a plug-in runs: the slots' float buffer holds 4,411 frames;
// longer blocks are run in pieces.
inline constexpr int32_t kMaxBlockFrames = 4411;
inline constexpr int32_t kNominalBlockFrames = 512;

class Lv2Features {
 public:
  Lv2Features();
  Lv2Features(const Lv2Features&) = delete;
  Lv2Features& operator=(const Lv2Features&) = delete;

  // The null-terminated list for lilv_plugin_instantiate.
  const LV2_Feature* const* List() const { return list_.data(); }
  // True for a feature URI a plug-in may require of this host.
  static bool Provides(std::string_view featureUri);

  Lv2UridMap& Urids() { return urids_; }
  LV2_URID SequenceUrid() const { return sequence_; }
  LV2_URID ChunkUrid() const { return chunk_; }

 private:
  Lv2UridMap urids_;
  LV2_URID sequence_ = 0;
  LV2_URID chunk_ = 0;
  int32_t minBlock_ = 1;
  int32_t maxBlock_ = kMaxBlockFrames;
  int32_t nominalBlock_ = kNominalBlockFrames;
  float sampleRate_ = float(kLv2SampleRate);
  std::array<LV2_Options_Option, 5> options_{};
  LV2_Feature optionsFeature_{};
  LV2_Feature boundedBlockFeature_{};
  std::array<const LV2_Feature*, 5> list_{};
};

}  // namespace zonda::ilvex
