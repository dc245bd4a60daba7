#pragma once
// Level conversions shared by the decks, the mixer and the meters. A level is
// on the 16-bit sample scale (32767 = full scale); silence reads -96 dB.
// Pure functions, any thread.

namespace zonda {

inline constexpr double kSilenceDb = -96.0;
inline constexpr double kFullScale = 32767.0;

// 10^(dB/20) * 32767, but at least 1.
double DbToLevel(double dB) noexcept;
// 20 * log10(level / 32767); -96 (silence) for a level of 0 or below.
double LevelToDb(double level) noexcept;
// DbToLevel(dB) / 32767: a linear gain never below 1/32767 (about -90.3 dB).
double DbToGain(double dB) noexcept;

}  // namespace zonda
