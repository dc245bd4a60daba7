#pragma once
// Debian's LADSPA plug-ins the bridge's tests run (ladspa-sdk, swh-plugins,
// cmt), by library and unique id, and small helpers for blocks of deck PCM.
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/Require.h"
#include "torvane/core/LadspaMoniker.h"

namespace zonda::test {

struct TKnownPlugin {
  const char* library;  // in /usr/lib/ladspa
  unsigned long id;
  const char* name;     // the descriptor's Name
  const char* package;
};

// 1 in, 1 out: "Cutoff Frequency (Hz)", default 440.
inline constexpr TKnownPlugin kSdkLowPass{"filter.so", 1041, "Simple Low Pass Filter", "ladspa-sdk"};
// 2 in, 2 out: "Gain", default 1 (0 dB).
inline constexpr TKnownPlugin kSdkStereoAmp{"amp.so", 1049, "Stereo Amplifier", "ladspa-sdk"};
inline constexpr TKnownPlugin kSwhButterworth{"butterworth_1902.so", 1903, "GLAME Butterworth Lowpass",
                                              "swh-plugins"};
inline constexpr TKnownPlugin kCmtLowPass{"cmt.so", 1051, "Low Pass Filter (One Pole)", "cmt"};
// 1 in, 2 out, no controls: the input on both outputs.
inline constexpr TKnownPlugin kSwhSplitter{"split_1406.so", 1406, "Mono to Stereo splitter", "swh-plugins"};
// 2 in, 1 out, no controls: left + right.
inline constexpr TKnownPlugin kCmtStereoToMono{"cmt.so", 1071, "Mixer (Stereo to Mono)", "cmt"};
// 1 in, 1 out, 16 controls: eight band gains, then eight band frequencies.
inline constexpr TKnownPlugin kTapEqualizer{"tap_eq.so", 2141, "TAP Equalizer", "tap-plugins"};
// No audio input: an instrument, not an effect.
inline constexpr TKnownPlugin kCmtOrgan{"cmt.so", 1222, "Organ", "cmt"};

inline constexpr const char* kLadspaFolder = "/usr/lib/ladspa";

inline std::string LibraryPath(const TKnownPlugin& plugin) {
  std::error_code error;
  const auto path = std::filesystem::canonical(std::string(kLadspaFolder) + "/" + plugin.library, error);
  return error ? std::string() : path.string();
}

inline std::string MonikerOf(const TKnownPlugin& plugin) {
  return MakeLadspaMoniker(LibraryPath(plugin), plugin.id);
}

// Empty when the plug-in's library is installed, else what to install.
inline std::string MissingPlugin(const TKnownPlugin& plugin) {
  if (!LibraryPath(plugin).empty()) return {};
  return std::string("missing LADSPA plug-in ") + kLadspaFolder + "/" + plugin.library + " (Debian package " +
         plugin.package + ")";
}

// Channel c (0 left, 1 right) of interleaved stereo, from frame `from` on.
template <class Sample>
std::vector<double> Channel(const std::vector<Sample>& stereo, int c, size_t from = 0) {
  std::vector<double> out;
  for (size_t i = from * 2 + size_t(c); i < stereo.size(); i += 2) out.push_back(double(stereo[i]));
  return out;
}

}  // namespace zonda::test

// Skips (or fails under CI) unless the plug-in is installed.
#define ZONDA_REQUIRE_PLUGIN(plugin)                                              \
  do {                                                                            \
    const std::string zondaMissingPlugin_ = ::zonda::test::MissingPlugin(plugin); \
    if (!zondaMissingPlugin_.empty()) ZONDA_SKIP_OR_FAIL(zondaMissingPlugin_);    \
  } while (0)
