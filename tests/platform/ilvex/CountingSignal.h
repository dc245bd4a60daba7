#pragma once
// A test signal that tells which frame it is: channel c of frame k is
// ((k mod P)(c + 1) + 1000c) mod P, scaled to -1..1, with P = 8191. Every value
// is exact in float, so a bit-exact path returns it unchanged, and channel 0
// alone names k mod P, against which the other three are checked.
#include <cmath>
#include <cstdint>
#include <vector>

namespace zonda::test {

inline constexpr int64_t kCountingPeriod = 8191;

inline float CountingSample(int channel, int64_t frame) {
  const int64_t v = ((frame % kCountingPeriod) * (channel + 1) + 1000 * channel) % kCountingPeriod;
  return static_cast<float>(v - 4095) / 4096.0f;
}

struct CountingCheck {
  int64_t firstMatch = -1;  // first frame where all channels form one counting frame
  int64_t matched = 0;      // frames from there on that do
  int64_t mismatched = 0;   // frames from there on that do not
  int64_t jumps = 0;        // matched frames that do not follow their predecessor
};

// channels[c][i]: captured sample i of channel c (all the same length).
inline CountingCheck CheckCounting(const std::vector<std::vector<float>>& channels) {
  CountingCheck r;
  if (channels.empty()) return r;
  const size_t n = channels[0].size();
  int64_t previous = -1;
  for (size_t i = 0; i < n; ++i) {
    const double v0 = channels[0][i] * 4096.0 + 4095.0;
    const int64_t k = std::llround(v0);
    bool ok = k >= 0 && k < kCountingPeriod && static_cast<double>(k) == v0;
    for (size_t c = 0; ok && c < channels.size(); ++c) ok = channels[c][i] == CountingSample(int(c), k);
    if (r.firstMatch < 0) {
      if (!ok) continue;
      r.firstMatch = static_cast<int64_t>(i);
    }
    if (!ok) {
      ++r.mismatched;
      previous = -1;
      continue;
    }
    ++r.matched;
    if (previous >= 0 && k != (previous + 1) % kCountingPeriod) ++r.jumps;
    previous = k;
  }
  return r;
}

}  // namespace zonda::test
