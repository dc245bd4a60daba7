#pragma once
// The shipped effect modules as a host sees them: each .so dlopen'ed from the
// installation tree's effects/ folder (ZONDA_PROGRAM_DIR, set by ctest) with
// its nine exports, an instance that destroys itself, and the signals the
// effect tests feed them (16-bit stereo, interleaved).
//
//   TEffectModule echo;
//   ASSERT_TRUE(echo.Open("echo.so")) << echo.error;
//   TEffectInstance fx(echo);
//   fx.Process(block, 120.0);
#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "effects/NativeEffectAbi.h"

namespace zonda::test {

struct TShippedEffect {
  const char* file;
  const char* name;
};

inline constexpr TShippedEffect kShippedEffects[] = {
    {"echo.so", "Echo"},
    {"pingpong.so", "Ping-Pong Delay"},
    {"flanger.so", "Flanger"},
    {"phaser.so", "Phaser"},
    {"reverb.so", "Reverb"},
    {"filtersweep.so", "Filter Sweep"},
    {"bitcrusher.so", "Bit Crusher"},
    {"gate.so", "Gate"},
};

// The effects folder of the installation tree; empty when ZONDA_PROGRAM_DIR is not set.
inline std::string EffectsDir() {
  const char* dir = std::getenv("ZONDA_PROGRAM_DIR");
  return dir ? std::string(dir) + "/effects" : std::string();
}

class TEffectModule {
 public:
  TEffectModule() = default;
  TEffectModule(const TEffectModule&) = delete;
  TEffectModule& operator=(const TEffectModule&) = delete;
  ~TEffectModule() { Close(); }

  // Loads effects/<file> and binds all nine exports; false with `error` set otherwise.
  bool Open(const std::string& file) {
    Close();
    const std::string dir = EffectsDir();
    if (dir.empty()) {
      error = "ZONDA_PROGRAM_DIR not set";
      return false;
    }
    handle_ = dlopen((dir + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
      error = dlerror();
      return false;
    }
    bool all = Bind(getdspversion, "getdspversion") & Bind(create, "create") & Bind(getname, "getname") &
               Bind(destroy, "destroy") & Bind(edit, "edit") & Bind(start, "start") & Bind(stop, "stop") &
               Bind(clear, "clear") & Bind(process, "process");
    if (!all) Close();
    return all;
  }

  void Close() {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
  }

  void* handle() const { return handle_; }

  ZondaFxGetDspVersion getdspversion = nullptr;
  ZondaFxCreate create = nullptr;
  ZondaFxGetName getname = nullptr;
  ZondaFxDestroy destroy = nullptr;
  ZondaFxEdit edit = nullptr;
  ZondaFxStart start = nullptr;
  ZondaFxStop stop = nullptr;
  ZondaFxClear clear = nullptr;
  ZondaFxProcess process = nullptr;
  std::string error;

 private:
  template <class F>
  bool Bind(F& f, const char* name) {
    f = reinterpret_cast<F>(dlsym(handle_, name));
    if (!f) error += std::string(error.empty() ? "missing: " : ", ") + name;
    return f != nullptr;
  }

  void* handle_ = nullptr;
};

// One instance of a loaded module, created (and started) at construction, destroyed with the object.
class TEffectInstance {
 public:
  explicit TEffectInstance(const TEffectModule& module, void* mainWindow = nullptr, bool started = true)
      : module_(module), instance_(module.create(mainWindow)) {
    if (instance_ && started) module_.start(instance_);
  }
  ~TEffectInstance() {
    if (instance_) module_.destroy(instance_);
  }
  TEffectInstance(const TEffectInstance&) = delete;
  TEffectInstance& operator=(const TEffectInstance&) = delete;

  intptr_t handle() const { return instance_; }

  // The whole of `samples` (interleaved stereo) in one call.
  void Process(std::vector<int16_t>& samples, double tempoBpm) {
    module_.process(instance_, samples.data(), static_cast<int32_t>(samples.size() * 2), tempoBpm);
  }
  // In calls of `framesPerCall` frames (the last may be shorter).
  void ProcessInPieces(std::vector<int16_t>& samples, double tempoBpm, int32_t framesPerCall) {
    const int32_t total = static_cast<int32_t>(samples.size() / 2);
    for (int32_t at = 0; at < total; at += framesPerCall) {
      const int32_t n = std::min(framesPerCall, total - at);
      module_.process(instance_, samples.data() + 2 * at, n * 4, tempoBpm);
    }
  }

 private:
  const TEffectModule& module_;
  intptr_t instance_;
};

// Signals, interleaved stereo.
inline std::vector<int16_t> Silence(int32_t frames) { return std::vector<int16_t>(2 * static_cast<size_t>(frames), 0); }

inline std::vector<int16_t> Tone(int32_t frames, double hz, double amplitude) {
  std::vector<int16_t> s(2 * static_cast<size_t>(frames));
  for (int32_t i = 0; i < frames; ++i) {
    const auto v = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * i / 44100.0)));
    s[2 * i] = s[2 * i + 1] = v;
  }
  return s;
}

inline std::vector<int16_t> Noise(int32_t frames, double amplitude, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> d(-amplitude, amplitude);
  std::vector<int16_t> s(2 * static_cast<size_t>(frames));
  for (int16_t& v : s) v = static_cast<int16_t>(std::lround(d(rng)));
  return s;
}

// One channel (0 left, 1 right) as doubles, for tests/support/ToneAnalysis.h.
inline std::vector<double> Channel(const std::vector<int16_t>& s, int channel, size_t fromFrame = 0,
                                   size_t frames = SIZE_MAX) {
  std::vector<double> out;
  const size_t total = s.size() / 2;
  for (size_t i = fromFrame; i < total && i - fromFrame < frames; ++i) out.push_back(s[2 * i + channel]);
  return out;
}

}  // namespace zonda::test
