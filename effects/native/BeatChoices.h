#pragma once
// The beat fractions the tempo-synced delays offer, as editor labels and beats.
#include <array>

namespace zonda::fx {

inline constexpr std::array<const char*, 5> kDelayBeatLabels = {"1/4 beat", "1/2 beat", "3/4 beat", "1 beat",
                                                                "2 beats"};
inline constexpr std::array<double, 5> kDelayBeats = {0.25, 0.5, 0.75, 1.0, 2.0};
static_assert(kDelayBeatLabels.size() == kDelayBeats.size());
// Index of 1/2 beat, the initial choice.
inline constexpr float kHalfBeatChoice = 1.0f;

}  // namespace zonda::fx
