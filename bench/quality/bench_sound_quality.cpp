// Sound quality figures of the two key lock engines and the two converters
// (issue 23), printed as tables for the report:
//
//  1. Key lock at -8, -4, +4, +8 % on a two-tone signal (1000 + 440 Hz) and on
//     a music-like chord: the energy outside the tones and the envelope
//     ripple, for the splice, Rubber Band R2 and R3 through the deck's
//     renderer, and in the same run sox's tempo effect and the `rubberband`
//     command line (R2 and R3, offline and in real-time mode) on the same file.
//  2. Cost per deck of each engine at 256-frame blocks (thread CPU time over
//     audio time) and its latency; two decks with R3 key lock and the full
//     chain through zonda-engine --offline (process CPU time over audio time).
//  3. The converters against `sox rate -v`: in-band error, energy in the
//     20-22.05 kHz band and the alias of a tone above the deck's Nyquist
//     frequency, on swept sines and song-like 48 kHz and 22.05 kHz files;
//     and the time of one 6-second chunk read with each.
//
// Run from build/bench (./build.sh bench does): zonda-engine is taken from
// ./zonda/zonda-engine, or ZONDA_ENGINE.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Fft.h"
#include "decoding/DataProvider.h"
#include "decoding/SoxrConversion.h"
#include "engine/SoundSource.h"
#include "platform/ProgramDir.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr int32_t kBlock = 256;

// ---- signals and files ----

struct TSignal {
  const char* name;
  std::vector<double> tones;  // Hz: what is not within 25 Hz of these is "outside"
  std::vector<double> levels;
};

const TSignal kTwoTone{"two-tone", {1000.0, 440.0}, {0.3, 0.3}};
// A chord with harmonics (G major over two octaves), as a sustained pad.
const TSignal kMusicLike{"music-like", {196.0, 247.0, 294.0, 392.0, 494.0, 587.0, 784.0, 1175.0, 1568.0, 2349.0},
                         {0.12, 0.10, 0.10, 0.09, 0.08, 0.08, 0.06, 0.05, 0.04, 0.03}};

std::vector<int16_t> Render(const TSignal& s, double seconds) {
  const int64_t frames = static_cast<int64_t>(seconds * 44100);
  std::vector<int16_t> pcm(static_cast<size_t>(frames) * 2);
  for (int64_t k = 0; k < frames; ++k) {
    double v = 0.0;
    for (size_t i = 0; i < s.tones.size(); ++i) v += s.levels[i] * std::sin(2 * kPi * s.tones[i] * k / 44100.0 + i);
    pcm[2 * k] = pcm[2 * k + 1] = static_cast<int16_t>(std::lround(v * 32767));
  }
  return pcm;
}

// 16-bit stereo (or mono, duplicated) PCM of a WAV file; rate in `rate`.
std::vector<int16_t> ReadWav16(const std::string& file, uint32_t* rate = nullptr) {
  std::vector<uint8_t> b = test::ReadAll(file);
  std::vector<int16_t> pcm;
  uint16_t channels = 2;
  for (size_t at = 12; at + 8 <= b.size();) {
    const uint32_t size = b[at + 4] | (b[at + 5] << 8) | (b[at + 6] << 16) | (uint32_t(b[at + 7]) << 24);
    if (std::memcmp(&b[at], "fmt ", 4) == 0) {
      channels = static_cast<uint16_t>(b[at + 10] | (b[at + 11] << 8));
      if (rate) *rate = b[at + 12] | (b[at + 13] << 8) | (b[at + 14] << 16) | (uint32_t(b[at + 15]) << 24);
    }
    if (std::memcmp(&b[at], "data", 4) == 0) {
      const size_t n = std::min<size_t>(size, b.size() - at - 8) / 2;
      for (size_t k = 0; k < n; k += channels) {
        const auto v = static_cast<int16_t>(b[at + 8 + 2 * k] | (b[at + 9 + 2 * k] << 8));
        const auto w = channels > 1 ? static_cast<int16_t>(b[at + 10 + 2 * k] | (b[at + 11 + 2 * k] << 8)) : v;
        pcm.push_back(v);
        pcm.push_back(w);
      }
      break;
    }
    at += 8 + size + (size & 1);
  }
  return pcm;
}

int Sh(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

// ---- measures ----

using test::Fft;

// Power spectrum (left channel) averaged over Hann-windowed 8192-frame frames.
std::vector<double> Spectrum(const std::vector<int16_t>& pcm, size_t first, size_t count, int channel = 0) {
  constexpr size_t kN = 8192;
  std::vector<double> power(kN / 2, 0.0);
  for (size_t start = first; start + kN <= first + count && 2 * (start + kN) <= pcm.size(); start += kN / 2) {
    std::vector<double> re(kN), im(kN, 0.0);
    for (size_t k = 0; k < kN; ++k) re[k] = pcm[2 * (start + k) + channel] * (0.5 - 0.5 * std::cos(2 * kPi * k / kN));
    Fft(re, im);
    for (size_t b = 0; b < kN / 2; ++b) power[b] += re[b] * re[b] + im[b] * im[b];
  }
  return power;
}

double BinHz(size_t b) { return b * 44100.0 / 8192.0; }

double BandEnergy(const std::vector<double>& p, double lo, double hi) {
  double e = 0.0;
  for (size_t b = 1; b < p.size(); ++b)
    if (BinHz(b) >= lo && BinHz(b) < hi) e += p[b];
  return e;
}

double Db(double ratio) { return 10.0 * std::log10(std::max(ratio, 1e-30)); }

double OutsideTonesDb(const std::vector<int16_t>& pcm, size_t first, size_t count, const TSignal& s) {
  const auto p = Spectrum(pcm, first, count);
  double tone = 0.0, total = 0.0;
  for (size_t b = 1; b < p.size(); ++b) {
    total += p[b];
    for (double f : s.tones)
      if (std::fabs(BinHz(b) - f) <= 25.0) {
        tone += p[b];
        break;
      }
  }
  return Db((total - tone) / total);
}

// Envelope ripple: standard deviation of the 20 ms RMS envelope, in dB.
double RippleDb(const std::vector<int16_t>& pcm, size_t first, size_t count) {
  constexpr size_t kW = 882;
  std::vector<double> env;
  for (size_t s = first; s + kW <= first + count && 2 * (s + kW) <= pcm.size(); s += kW) {
    double e = 0.0;
    for (size_t k = s; k < s + kW; ++k) e += double(pcm[2 * k]) * pcm[2 * k];
    env.push_back(10.0 * std::log10(e / kW + 1e-9));
  }
  double mean = 0.0;
  for (double v : env) mean += v;
  mean /= env.size();
  double var = 0.0;
  for (double v : env) var += (v - mean) * (v - mean);
  return std::sqrt(var / env.size());
}

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + 1e-9 * t.tv_nsec;
}

double ChildCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + 1e-6 * (u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

// ---- a deck ----

std::unique_ptr<TSoundSource> LoadDeck(const std::string& file) {
  auto deck = std::make_unique<TSoundSource>(true);
  deck->Load(file);
  for (int i = 0; i < 20000; ++i) {
    const int32_t chunks = std::min(3, deck->ChunkCount.load());
    if (deck->LoadOk.load() && !deck->LoadPending.load() && chunks > 0 && deck->ChunksPresent() >= chunks) break;
    if (deck->LoadOk.load()) deck->WakeEvent.Signal();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return deck;
}

std::vector<int16_t> PlayKeyLocked(TSoundSource& d, TKeyLockEngine engine, double speed, double seconds,
                                   double* cpuShare = nullptr) {
  d.SetKeyLockEngine(engine);
  d.SetKeyLock(true);
  d.SongLoop.store(true);
  d.Position.store(1000.0);
  d.StartAtSpeed(speed);
  d.Playing.store(true);
  const int32_t frames = static_cast<int32_t>(seconds * 44100) / kBlock * kBlock;
  std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
  const double before = ThreadCpuSeconds();
  for (int32_t done = 0; done < frames; done += kBlock) d.RenderBlock(out.data() + 2 * static_cast<size_t>(done), kBlock * 4);
  if (cpuShare) *cpuShare = (ThreadCpuSeconds() - before) / (frames / 44100.0);
  d.Playing.store(false);
  return out;
}

// ---- the three parts ----

void KeyLockQuality(test::TempDir& dir) {
  std::printf("\n== 1. Key lock quality (energy outside the tones dB / envelope ripple dB)\n");
  std::printf("%-11s %6s %14s %14s %14s %14s %14s %14s %14s %14s\n", "signal", "pitch", "splice", "RB R2 (deck)",
              "RB R3 (deck)", "sox tempo", "rubberband R2", "rubberband R3", "rb -R R2", "rb -R R3");
  for (const TSignal* s : {&kTwoTone, &kMusicLike}) {
    const std::string in = dir.file(std::string(s->name) + ".wav");
    test::WriteDeckWav(in, Render(*s, 12.0));
    auto deck = LoadDeck(in);
    for (double pitch : {-8.0, -4.0, 4.0, 8.0}) {
      const double speed = 1.0 + pitch / 100.0;
      std::printf("%-11s %+5.0f%%", s->name, pitch);
      auto cell = [&](const std::vector<int16_t>& pcm, size_t first) {
        const size_t count = static_cast<size_t>(5.5 * 44100);
        if (pcm.size() / 2 < first + count) {
          std::printf(" %14s", "n/a");
          return;
        }
        char text[32];
        std::snprintf(text, sizeof text, "%.1f / %.2f", OutsideTonesDb(pcm, first, count, *s), RippleDb(pcm, first, count));
        std::printf(" %14s", text);
      };
      for (TKeyLockEngine e : {TKeyLockEngine::Splice, TKeyLockEngine::RubberBandR2, TKeyLockEngine::RubberBand})
        cell(PlayKeyLocked(*deck, e, speed, 8.0), 88200);
      const std::string out = dir.file("out.wav"), out16 = dir.file("out16.wav");
      char ratio[32];
      std::snprintf(ratio, sizeof ratio, "%.6f", 1.0 / speed);
      std::remove(out16.c_str());
      Sh("sox '" + in + "' -b 16 '" + out16 + "' tempo " + std::to_string(speed));
      cell(ReadWav16(out16), 88200);
      // The command line offline (its default) and in real-time mode (-R), as the decks run it.
      for (const char* engine : {"-2 ", "-3 ", "-R -2 ", "-R -3 "}) {
        std::remove(out16.c_str());
        Sh("rubberband -q " + std::string(engine) + "-t " + ratio + " '" + in + "' '" + out + "'");
        Sh("sox '" + out + "' -b 16 -e signed-integer '" + out16 + "'");
        cell(ReadWav16(out16), 88200);
      }
      std::printf("\n");
    }
  }
}

void KeyLockCost(test::TempDir& dir) {
  std::printf("\n== 2. Cost per deck at 256-frame blocks (key lock at +6 %%, 30 s, thread CPU / audio time)\n");
  const std::string in = dir.file("cost.wav");
  test::WriteDeckWav(in, Render(kMusicLike, 40.0));
  auto deck = LoadDeck(in);
  for (int i = 0; i < 20000 && deck->ChunksPresent() < 7; ++i) {
    deck->WakeEvent.Signal();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::printf("%-16s %10s %18s\n", "engine", "CPU share", "latency");
  for (TKeyLockEngine e : {TKeyLockEngine::Splice, TKeyLockEngine::RubberBandR2, TKeyLockEngine::RubberBand}) {
    double share = 0.0;
    PlayKeyLocked(*deck, e, 1.06, 30.0, &share);
    const int32_t latency = deck->RubberBandLatency(e);
    char l[48];
    std::snprintf(l, sizeof l, "%d frames (%.1f ms)", latency, latency / 44.1);
    std::printf("%-16s %9.2f%% %18s\n",
                e == TKeyLockEngine::Splice ? "splice" : (e == TKeyLockEngine::RubberBand ? "Rubber Band R3" : "Rubber Band R2"),
                100.0 * share, l);
  }
  std::printf("(the latency is compensated: the voice is started that many frames ahead, so the\n"
              " position read-outs stay true; switching starts a voice ~93 ms ahead while the splice plays)\n");

  const char* env = std::getenv("ZONDA_ENGINE");
  const std::string engine = env ? env : "./zonda/zonda-engine";
  std::printf("\n   two decks with key lock and the full chain: zonda-engine --offline, 60 s, 256-frame blocks\n");
  const std::string b = dir.file("b.wav");
  test::WriteDeckWav(b, Render(kTwoTone, 70.0));
  test::WriteDeckWav(in, Render(kMusicLike, 70.0));
  for (const char* e : {"splice", "rubberband-r2", "rubberband"}) {
    const std::string script = dir.file("two.txt");
    std::ofstream(script) << "at 0 load a " << in << "\nat 0 load b " << b
                          << "\nat 0 keylock on\nat 0 pitch a 6.00\nat 0 pitch b -4.00\nat 0 play a\nat 0 play b\n"
                             "at 0 eq a low 6\nat 0 eq b high -6\nat 0 filter a 40\nat 60 end\n";
    const double before = ChildCpuSeconds();
    const int status = Sh(engine + " --offline --block 256 --keylock-engine " + e + " '" + script + "'");
    const double cpu = ChildCpuSeconds() - before;
    std::printf("   %-14s %s %6.2f %% of one core (process CPU time / 60 s of audio, workers and decoding included)\n", e,
                status == 0 ? "" : "(failed)", 100.0 * cpu / 60.0);
  }
}

// 44.1 kHz deck PCM of a file through the decoder front with a converter.
std::vector<int16_t> Convert(const std::string& file, TResampler r, double* msPerChunk) {
  SetDeckResampler(r);
  TDataProvider p;
  std::vector<int16_t> pcm;
  if (!p.Open(file)) return pcm;
  SetDeckResampler(TResampler::Linear);
  const int32_t length = p.PCMLength();
  pcm.assign(static_cast<size_t>(length / 2), 0);
  const auto t0 = std::chrono::steady_clock::now();
  int chunks = 0;
  for (int32_t at = 0; at < length; at += kChunkBytes, ++chunks)
    p.ReadPCM(at, pcm.data() + at / 2, std::min(kChunkBytes, length - at));
  if (msPerChunk)
    *msPerChunk = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count() / chunks;
  return pcm;
}

void WriteSourceWav(const std::string& file, uint32_t rate, double seconds, const std::function<double(double)>& f) {
  test::WavSpec format;
  format.rateHz = rate;
  std::vector<uint8_t> bytes;
  const int64_t frames = static_cast<int64_t>(seconds * rate);
  for (int64_t k = 0; k < frames; ++k) {
    const auto v = static_cast<int16_t>(std::lround(std::clamp(f(double(k) / rate), -1.0, 1.0) * 32767));
    for (int c = 0; c < 2; ++c) {
      bytes.push_back(static_cast<uint8_t>(v & 0xFF));
      bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    }
  }
  test::WriteWav(file, format, bytes);
}

// A song-like signal: kick, snare and hi-hat noise (the hat up to the source's
// Nyquist frequency), a bass line and a bright saw-like chord.
std::function<double(double)> Song(uint32_t rate) {
  auto noise = std::make_shared<std::vector<double>>(static_cast<size_t>(rate) * 31);
  std::mt19937 g(3);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (double& v : *noise) v = u(g);
  return [noise, rate](double t) {
    const double beat = std::fmod(t, 0.5), half = std::fmod(t + 0.25, 0.5), eighth = std::fmod(t, 0.125);
    const double n = (*noise)[static_cast<size_t>(t * rate) % noise->size()];
    double v = 0.5 * std::exp(-beat * 18) * std::sin(2 * kPi * (50 + 80 * std::exp(-beat * 30)) * beat);
    v += 0.25 * std::exp(-half * 25) * n * (std::fmod(t, 1.0) >= 0.5 ? 1.0 : 0.0);
    v += 0.12 * std::exp(-eighth * 60) * n;
    const double bass = (std::fmod(t, 2.0) < 1.0) ? 55.0 : 73.4;
    v += 0.2 * std::sin(2 * kPi * bass * t);
    for (double f : {220.0, 277.2, 329.6})
      for (int h = 1; h <= 12; ++h) v += 0.02 / h * std::sin(2 * kPi * f * h * t);
    return 0.8 * v;
  };
}

void Converters(test::TempDir& dir) {
  std::printf("\n== 3. Converters against sox rate -v (dB relative to the output's energy)\n");
  std::printf("%-22s %-7s %14s %12s %16s %14s %12s\n", "source", "conv.", "in-band error", "spectrum dev",
              "20-22.05 kHz", "alias/image", "chunk read");
  struct TFile {
    const char* name;
    uint32_t rate;
    std::function<double(double)> f;
    double toneHz;  // a second tone whose alias or image is measured (0: none)
  };
  const TFile files[] = {
      {"sweep 48 kHz", 48000, [](double t) { return 0.5 * std::sin(2 * kPi * 20.0 * (std::pow(1200.0, t / 10.0) - 1) / (std::log(1200.0) / 10.0)); }, 0},
      {"sweep 22.05 kHz", 22050, [](double t) { return 0.5 * std::sin(2 * kPi * 20.0 * (std::pow(551.0, t / 10.0) - 1) / (std::log(551.0) / 10.0)); }, 0},
      {"song-like 48 kHz", 48000, Song(48000), 0},
      {"song-like 22.05 kHz", 22050, Song(22050), 0},
      {"1k + 23k tones 48k", 48000, [](double t) { return 0.3 * std::sin(2 * kPi * 1000 * t) + 0.3 * std::sin(2 * kPi * 23000 * t); }, 21100},
      {"1k + 10k tones 22.05k", 22050, [](double t) { return 0.3 * std::sin(2 * kPi * 1000 * t) + 0.3 * std::sin(2 * kPi * 10000 * t); }, 12100},
  };
  for (const TFile& f : files) {
    const std::string in = dir.file("src.wav"), ref = dir.file("ref.wav");
    WriteSourceWav(in, f.rate, 10.0, f.f);
    std::remove(ref.c_str());
    Sh("sox '" + in + "' -b 16 -r 44100 '" + ref + "' rate -v");
    const auto r = ReadWav16(ref);
    const size_t first = 22050, count = 8 * 44100;
    const auto pr = Spectrum(r, first, count);
    for (TResampler c : {TResampler::Linear, TResampler::Soxr}) {
      double ms = 0.0;
      const auto o = Convert(in, c, &ms);
      const size_t n = std::min(o.size(), r.size());
      std::vector<int16_t> diff(n);
      for (size_t k = 0; k < n; ++k) diff[k] = static_cast<int16_t>(std::clamp(o[k] - r[k], -32768, 32767));
      const auto po = Spectrum(o, first, count), pd = Spectrum(diff, first, count);
      const double total = BandEnergy(po, 0, 22051);
      const double inBand = Db(BandEnergy(pd, 0, 20000) / BandEnergy(pr, 0, 20000));
      const double top = Db(BandEnergy(po, 20000, 22051) / total);
      const double topRef = Db(BandEnergy(pr, 20000, 22051) / BandEnergy(pr, 0, 22051));
      char alias[24] = "-";
      if (f.toneHz > 0)
        std::snprintf(alias, sizeof alias, "%.1f", Db(BandEnergy(po, f.toneHz - 30, f.toneHz + 30) / BandEnergy(po, 970, 1030)));
      // In-band spectrum: the largest third-octave band difference, 50 Hz - 18 kHz.
      double dev = 0.0;
      for (double lo = 50.0; lo < 18000.0; lo *= std::pow(2.0, 1.0 / 3.0)) {
        const double hi = std::min(18000.0, lo * std::pow(2.0, 1.0 / 3.0));
        const double er = BandEnergy(pr, lo, hi);
        if (er > 1e-6 * BandEnergy(pr, 0, 22051)) dev = std::max(dev, std::fabs(Db(BandEnergy(po, lo, hi) / er)));
      }
      char topText[40];
      std::snprintf(topText, sizeof topText, "%.1f (sox %.1f)", top, topRef);
      std::printf("%-22s %-7s %14.1f %12.2f %16s %14s %9.1f ms\n", f.name, c == TResampler::Linear ? "linear" : "soxr",
                  inBand, dev, topText, alias, ms);
    }
    if (f.toneHz > 0)
      std::printf("%-22s %-7s %14s %12s %16s %14.1f\n", f.name, "sox -v", "", "", "",
                  Db(BandEnergy(pr, f.toneHz - 30, f.toneHz + 30) / BandEnergy(pr, 970, 1030)));
  }
}

}  // namespace
}  // namespace zonda

int main() {
  zonda::test::TempDir dir;
  setenv("ZONDA_PROGRAM_DIR", dir.path().c_str(), 1);
  zonda::ResetProgramDirForTests();
  zonda::KeyLockQuality(dir);
  zonda::KeyLockCost(dir);
  zonda::Converters(dir);
  return 0;
}
