#pragma once
// Running the installed command-line tools in a private folder, and reading
// the WAV files they write.
//
//   test::EngineSandbox box;                        // the tree's libraries linked in
//   test::WriteTones(box.file("a.wav"), 10, {{1000, 0.5}});
//   auto r = box.Run("--offline --out mix.wav", "at 0 load a a.wav\nat 0 play a\nat 2 end\n");
//   test::Wav mix = test::ReadWav(box.file("mix.wav"));
//
// The installation tree is ZONDA_PROGRAM_DIR (ctest sets it); runs get the
// sandbox as their program folder and settings folder, so they leave the tree's
// song settings and the user's settings alone.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/TestFiles.h"

namespace zonda::test {

inline std::string InstallationDir() {
  const char* dir = std::getenv("ZONDA_PROGRAM_DIR");
  return dir ? dir : ".";
}

inline std::string Slurp(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class EngineSandbox {
 public:
  EngineSandbox() {
    // The libraries, the effects and the effect exclusion lists of the tree.
    for (const auto& e : std::filesystem::directory_iterator(InstallationDir())) {
      const std::string name = e.path().filename().string();
      if (e.path().extension() == ".so" || name == "effects" || name.rfind("exclude_", 0) == 0)
        std::filesystem::create_symlink(e.path(), dir_.path() / e.path().filename());
    }
  }
  std::string file(const std::string& name) const { return dir_.file(name); }
  const std::filesystem::path& path() const { return dir_.path(); }

  struct Result {
    int status = -1;
    std::string out, err;
  };
  // Runs `tool` of the installation tree with args (the script, when given,
  // is written to script.txt and passed last) inside the sandbox.
  Result RunTool(const std::string& tool, const std::string& args, const std::string& env = "") const {
    const std::string d = dir_.path().string();
    Result r;
    r.status = zonda::test::Run("cd '" + d + "' && ZONDA_PROGRAM_DIR='" + d + "' XDG_CONFIG_HOME='" + d + "' " + env + " '" +
                   InstallationDir() + "/" + tool + "' " + args + " >out.txt 2>err.txt");
    r.out = Slurp(file("out.txt"));
    r.err = Slurp(file("err.txt"));
    return r;
  }
  // zonda-engine with args on a script.
  Result Run(const std::string& args, const std::string& script, const std::string& env = "") const {
    {
      std::ofstream s(file("script.txt"), std::ios::binary);
      s << script;
    }
    return RunTool("zonda-engine", args + " script.txt", env);
  }

 private:
  TempDir dir_;
};

// A stereo deck-format track of summed sines, the same on both channels.
inline void WriteTones(const std::string& file, double seconds, const std::vector<std::pair<double, double>>& tones) {
  const int64_t frames = static_cast<int64_t>(seconds * 44100);
  std::vector<int16_t> pcm(size_t(frames) * 2);
  for (int64_t k = 0; k < frames; ++k) {
    double v = 0;
    for (auto [hz, amplitude] : tones) v += amplitude * std::sin(2 * std::numbers::pi * hz * double(k) / 44100);
    const auto s = static_cast<int16_t>(std::lround(v * 32767));
    pcm[size_t(2 * k)] = s;
    pcm[size_t(2 * k + 1)] = s;
  }
  WriteDeckWav(file, pcm);
}

// A 16-bit PCM WAV with the 44-byte header the tools write.
struct Wav {
  int channels = 0;
  std::vector<int16_t> samples;
  int64_t frames() const { return channels ? int64_t(samples.size()) / channels : 0; }
  int16_t at(int64_t frame, int ch) const { return samples[size_t(frame * channels + ch)]; }
  // One channel from frame `from` up to (not including) frame `to`.
  std::vector<double> Frames(int ch, int64_t from, int64_t to) const {
    std::vector<double> out;
    for (int64_t f = std::max<int64_t>(from, 0); f < to && f < frames(); ++f) out.push_back(at(f, ch));
    return out;
  }
  // One channel from second `from` to second `to`.
  std::vector<double> Channel(int ch, double from, double to) const {
    return Frames(ch, int64_t(from * 44100), int64_t(to * 44100));
  }
};

inline Wav ReadWav(const std::string& file) {
  const auto bytes = ReadAll(file);
  Wav w;
  if (bytes.size() < 44) return w;
  w.channels = bytes[22] | (bytes[23] << 8);
  w.samples.resize((bytes.size() - 44) / 2);
  if (!w.samples.empty()) std::memcpy(w.samples.data(), bytes.data() + 44, w.samples.size() * 2);
  return w;
}

// The longest run of windowMs windows whose peak is below -50 dBFS on channel
// ch, in ms, from the first window that sounds (the PLAY) to the end; -1 when
// the channel never sounds.
inline double LongestSilenceAfterSoundMs(const Wav& w, int ch, int windowMs) {
  const int64_t window = 44100 * windowMs / 1000;
  int64_t run = 0, longest = 0;
  bool started = false;
  for (int64_t f = 0; f + window <= w.frames(); f += window) {
    int peak = 0;
    for (int64_t k = f; k < f + window; ++k) peak = std::max(peak, std::abs(int(w.at(k, ch))));
    const bool silent = peak < 104;
    if (!started) {
      started = !silent;
      continue;
    }
    run = silent ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return started ? double(longest) * windowMs : -1.0;
}

// One deck's figures from zonda-engine's "report" command.
struct MissingAudio {
  long long blocks = -1;
  double seconds = -1, longestMs = -1;
};
// Deck 'A' or 'B' from the last "report" line of zonda-engine's output.
inline MissingAudio ParseReport(const std::string& out, char deck) {
  MissingAudio m;
  const auto line = out.rfind(" report A ");
  if (line == std::string::npos) return m;
  const auto at = out.find(std::string(deck == 'A' ? " report A" : " B") + " missing ", line);
  if (at == std::string::npos) return m;
  std::sscanf(out.c_str() + out.find("missing ", at), "missing %lld blocks %lf s longest %lf ms", &m.blocks,
              &m.seconds, &m.longestMs);
  return m;
}

}  // namespace zonda::test
