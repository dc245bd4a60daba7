#include "tests/quelmo/LibdecFixtures.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

#include "platform/ProgramDir.h"

namespace zonda::test {

std::vector<float> TestSignal(int64_t frames, int channels, int rate) {
  std::vector<float> s(static_cast<size_t>(frames * channels));
  std::mt19937 rng(1234);
  std::uniform_real_distribution<float> noise(-0.05f, 0.05f);
  for (int64_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    for (int c = 0; c < channels; ++c) {
      const double f0 = 150.0 + 60.0 * c;
      const double sweep = std::sin(2 * M_PI * (f0 * t + 400.0 * t * t));
      const double tone = std::sin(2 * M_PI * (523.25 + 37.0 * c) * t);
      s[static_cast<size_t>(i * channels + c)] = static_cast<float>(0.45 * sweep + 0.25 * tone) + noise(rng);
    }
  }
  return s;
}

void WriteSignalWav(const std::string& fileName, const std::vector<float>& signal, int channels, int rate, int bits) {
  const int bytes = bits / 8;
  std::vector<uint8_t> data(signal.size() * bytes);
  const double full = std::ldexp(1.0, bits - 1) - 1;
  for (size_t i = 0; i < signal.size(); ++i) {
    const auto v = static_cast<int64_t>(std::lround(std::clamp(signal[i], -1.0f, 1.0f) * full));
    for (int b = 0; b < bytes; ++b) data[i * bytes + b] = static_cast<uint8_t>((v >> (8 * b)) & 0xFF);
  }
  WavSpec recipe;
  recipe.channels = static_cast<uint16_t>(channels);
  recipe.rateHz = static_cast<uint32_t>(rate);
  recipe.bits = static_cast<uint16_t>(bits);
  if (channels > 2 || bits > 16) {
    recipe.fmtChunkBytes = 40;
    recipe.formatTag = 0xFFFE;
  }
  WriteWav(fileName, recipe, data);
}

bool MakeFixture(const TempDir& dir, const std::string& name, const std::string& ffmpegArgs, double seconds,
                 int rate, int channels, int bits, TFixture* out) {
  const int64_t frames = static_cast<int64_t>(seconds * rate);
  const std::string wav = dir.file(name + ".src.wav");
  WriteSignalWav(wav, TestSignal(frames, channels, rate), channels, rate, bits);
  const std::string path = dir.file(name);
  int status = 0;
  if (ffmpegArgs == "copy") {
    status = Run("cp '" + wav + "' '" + path + "'");
  } else if (ffmpegArgs.rfind("oggenc", 0) == 0) {
    status = Run(ffmpegArgs + " -Q -o '" + path + "' '" + wav + "' 2>/dev/null");
  } else {
    status = Run("ffmpeg -nostdin -v error -y -i '" + wav + "' " + ffmpegArgs + " '" + path + "'");
  }
  if (status != 0) return false;
  *out = TFixture{name, path, frames, rate, channels};
  return true;
}

std::vector<int16_t> FFmpegReference(const std::string& path, int channels, int rate) {
  const std::string raw = path + ".ref.raw";
  const bool mp4 = path.ends_with(".m4a") || path.ends_with(".mp4") || path.ends_with(".m4b") || path.ends_with(".mov");
  const std::string cmd = std::string("ffmpeg -nostdin -v error -y ") + (mp4 ? "-ignore_editlist 1 " : "") +
                          "-flags2 +skip_manual -i '" + path +
                          "' -map 0:a:0 -f s16le -acodec pcm_s16le -ac " + std::to_string(channels) + " -ar " +
                          std::to_string(rate) + " '" + raw + "'";
  if (Run(cmd) != 0) return {};
  const std::vector<uint8_t> bytes = ReadAll(raw);
  std::vector<int16_t> out(bytes.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return out;
}

int MaxAbsDiff(const int16_t* a, const int16_t* b, int64_t samples) {
  int m = 0;
  for (int64_t i = 0; i < samples; ++i) m = std::max(m, std::abs(int{a[i]} - int{b[i]}));
  return m;
}

TLoadedLibrary LoadLibrary(const std::string& soName) {
  TLoadedLibrary lib;
  lib.handle = dlopen(ProgramPath("/" + soName).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!lib.handle) return lib;
  lib.create_obj = reinterpret_cast<void* (*)()>(dlsym(lib.handle, "create_obj"));
  lib.destroy_obj = reinterpret_cast<void (*)(void*)>(dlsym(lib.handle, "destroy_obj"));
  lib.open = reinterpret_cast<int32_t (*)(void*, const char*, void*)>(dlsym(lib.handle, "open"));
  lib.getsamples = reinterpret_cast<int32_t (*)(void*, void*, int32_t, int32_t)>(dlsym(lib.handle, "getsamples"));
  lib.close = reinterpret_cast<void (*)(void*)>(dlsym(lib.handle, "close"));
  lib.check_quicktime = reinterpret_cast<int32_t (*)()>(dlsym(lib.handle, "check_quicktime"));
  return lib;
}

std::vector<int16_t> ReadAllFrames(const TLoadedLibrary& lib, void* obj, const TInfo& info) {
  std::vector<int16_t> all(static_cast<size_t>(info.totalFrames) * info.channels);
  int64_t at = 0;
  const int32_t step = std::max(info.rate, 256);
  while (at < info.totalFrames) {
    const int32_t got = lib.getsamples(obj, all.data() + at * info.channels, step, static_cast<int32_t>(at));
    if (got <= 0) break;
    at += got;
  }
  all.resize(static_cast<size_t>(at) * info.channels);
  return all;
}

}  // namespace zonda::test
