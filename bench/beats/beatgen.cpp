// beatgen STYLE BPM SECONDS OUT.wav [SEED] [CHANNELS]
//
// Writes a 44100 Hz stereo 16-bit WAV of a drum pattern at exactly BPM:
//   four      four-on-the-floor kick, snare on 2 and 4, off-beat hats, bass
//   break     breakbeat: kicks on 1, the "and" of 2 and 3.5, snares on 2 and 4,
//             eighth hats
//   swing     kicks on 1 and 3, snares on 2 and 4, swung eighth hats
//   halftime  kick on 1, snare on 3, eighth hats (half-time feel)
//   intro     20 s of pads without drums, then four
//   noise     four under loud pink-ish noise (about 0 dB signal to noise)
//   gaps      four with 2 s of silence every 15 s
//   kicks     a kick on every beat and nothing else
// CHANNELS: 3 both (default), 1 left only, 2 right only. The tempo, first beat
// (frame 0 of the drums) and SEED make the file; the same arguments give the
// same bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr double kPi = 3.14159265358979323846;

struct Mix {
  std::vector<double> v;
  std::mt19937 random;
  explicit Mix(int64_t frames, uint32_t seed) : v(static_cast<size_t>(frames), 0.0), random(seed) {}
  double White() { return std::uniform_real_distribution<double>(-1.0, 1.0)(random); }
  void Kick(double at, double gain) {
    double phase = 0.0;
    for (int64_t k = 0; k < 8820; ++k) {
      const int64_t i = static_cast<int64_t>(at) + k;
      if (i < 0 || i >= static_cast<int64_t>(v.size())) continue;
      const double t = k / kRate;
      phase += 2 * kPi * (55.0 + 110.0 * std::exp(-t / 0.035)) / kRate;
      v[i] += gain * std::min(1.0, k / 40.0) * std::exp(-t / 0.09) * std::sin(phase);
    }
  }
  void Snare(double at, double gain) {
    for (int64_t k = 0; k < 8820; ++k) {
      const int64_t i = static_cast<int64_t>(at) + k;
      if (i < 0 || i >= static_cast<int64_t>(v.size())) continue;
      const double t = k / kRate;
      v[i] += gain * std::exp(-t / 0.05) * (0.6 * White() + 0.4 * std::sin(2 * kPi * 190.0 * t));
    }
  }
  void Hat(double at, double gain) {
    double last = 0.0;
    for (int64_t k = 0; k < 2646; ++k) {
      const int64_t i = static_cast<int64_t>(at) + k;
      if (i < 0 || i >= static_cast<int64_t>(v.size())) continue;
      const double w = White();
      v[i] += gain * std::exp(-k / 400.0) * (w - last);  // high-passed noise
      last = w;
    }
  }
  void Tone(double from, double to, double freq, double gain) {
    for (int64_t i = std::max<int64_t>(0, static_cast<int64_t>(from)); i < static_cast<int64_t>(to) && i < static_cast<int64_t>(v.size()); ++i) {
      const double t = (i - from) / kRate;
      const double env = std::min(1.0, t / 0.01) * std::min(1.0, (to - i) / 441.0);
      v[i] += gain * env * std::sin(2 * kPi * freq * i / kRate);
    }
  }
};

void WriteWav(const char* name, const std::vector<double>& mix, int channels) {
  std::FILE* f = std::fopen(name, "wb");
  if (!f) {
    std::perror(name);
    std::exit(1);
  }
  const uint32_t data = static_cast<uint32_t>(mix.size() * 4);
  auto put32 = [&](uint32_t x) { std::fwrite(&x, 4, 1, f); };
  auto put16 = [&](uint16_t x) { std::fwrite(&x, 2, 1, f); };
  std::fwrite("RIFF", 1, 4, f);
  put32(36 + data);
  std::fwrite("WAVEfmt ", 1, 8, f);
  put32(16);
  put16(1);
  put16(2);
  put32(44100);
  put32(176400);
  put16(4);
  put16(16);
  std::fwrite("data", 1, 4, f);
  put32(data);
  double peak = 0.0;
  for (double x : mix) peak = std::max(peak, std::fabs(x));
  const double scale = peak > 0.0 ? 0.8 * 32767.0 / peak : 0.0;
  std::vector<int16_t> out(mix.size() * 2);
  for (size_t i = 0; i < mix.size(); ++i) {
    const auto s = static_cast<int16_t>(std::lround(mix[i] * scale));
    out[2 * i] = (channels & 1) ? s : int16_t{0};
    out[2 * i + 1] = (channels & 2) ? s : int16_t{0};
  }
  std::fwrite(out.data(), 2, out.size(), f);
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: beatgen four|break|swing|halftime|intro|noise|gaps|kicks BPM SECONDS OUT.wav [SEED] [CHANNELS]\n");
    return 2;
  }
  const std::string style = argv[1];
  const double bpm = std::atof(argv[2]);
  const double seconds = std::atof(argv[3]);
  const uint32_t seed = argc > 5 ? static_cast<uint32_t>(std::atoi(argv[5])) : 1u;
  const int channels = argc > 6 ? std::atoi(argv[6]) : 3;
  if (!(bpm > 20 && bpm < 400) || !(seconds > 0 && seconds < 3600)) {
    std::fprintf(stderr, "beatgen: BPM 20..400 and SECONDS 0..3600\n");
    return 2;
  }
  const int64_t frames = static_cast<int64_t>(seconds * kRate);
  Mix m(frames, seed);
  const double beat = 60.0 * kRate / bpm;
  const double drumsFrom = style == "intro" ? 20.0 * kRate : 0.0;
  const double start = drumsFrom + std::fmod(seed * 1234.5, beat);  // first beat: depends on the seed
  const double bassNotes[] = {55.0, 55.0, 65.4, 49.0};
  if (style == "intro") {
    for (double t = 0; t < drumsFrom; t += 4 * beat) m.Tone(t, t + 4 * beat, 220.0 * (1 + (static_cast<int>(t / beat) % 3) * 0.25), 0.15);
  }
  for (int64_t n = 0;; ++n) {
    const double at = start + n * beat;
    if (at >= frames) break;
    if (style == "gaps" && std::fmod(at / kRate, 15.0) >= 13.0) continue;
    const int inBar = static_cast<int>(n % 4);
    const bool downbeat = inBar == 0;
    if (style == "kicks") {
      m.Kick(at, 1.0);
    } else if (style == "four" || style == "intro" || style == "noise" || style == "gaps") {
      m.Kick(at, 1.0);
      if (inBar == 1 || inBar == 3) m.Snare(at, 0.35);
      m.Hat(at + beat / 2, 0.25);
      m.Tone(at + beat / 2, at + beat * 0.95, bassNotes[(n / 4) % 4] * 2, 0.12);
    } else if (style == "break") {
      if (downbeat) m.Kick(at, 1.0);
      if (inBar == 1) m.Kick(at + beat / 2, 0.8);
      if (inBar == 2) m.Kick(at + beat / 2, 0.9);
      if (inBar == 1 || inBar == 3) m.Snare(at, 0.5);
      m.Hat(at, 0.2);
      m.Hat(at + beat / 2, 0.15);
    } else if (style == "swing") {
      if (inBar == 0 || inBar == 2) m.Kick(at, 1.0);
      if (inBar == 1 || inBar == 3) m.Snare(at, 0.45);
      m.Hat(at, 0.22);
      m.Hat(at + beat * 2 / 3, 0.15);
    } else if (style == "halftime") {
      if (downbeat) m.Kick(at, 1.0);
      if (inBar == 2) m.Snare(at, 0.5);
      m.Hat(at, 0.2);
      m.Hat(at + beat / 2, 0.15);
    } else {
      std::fprintf(stderr, "beatgen: unknown style %s\n", style.c_str());
      return 2;
    }
  }
  if (style == "noise") {
    double b = 0.0;
    for (double& x : m.v) {
      b = 0.97 * b + 0.03 * m.White();  // low-passed: pink-ish, energy in the kick band
      x += 3.0 * b + 0.05 * m.White();
    }
  }
  WriteWav(argv[4], m.v, channels);
  return 0;
}
