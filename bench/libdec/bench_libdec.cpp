// Figures for the library-backed decoding on 10-minute files (FLAC, M4A/AAC,
// Ogg Vorbis), made once from a generated piece of "music" and kept in
// $TMPDIR/zonda-bench-libdec:
//  - Open: open to the first 6-second chunk (what a deck load waits for),
//    with the index scan's share of the open as a counter;
//  - Chunk: one sequential 6-second chunk read; ChunkAfterJump: one chunk
//    read after a jump (seek plus half a second of pre-roll);
//  - Throughput: the whole file through the stream in 6-second chunks, and
//    `ffmpeg -i FILE -f s16le -` on the same file in the same run; the
//    counter "vs_ffmpeg" is our time / ffmpeg's time.
// Run: build with -DZONDA_BENCH=ON (Release) and start bench/bench_libdec.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "quelmo/stream/MediaStream.h"
#include "tests/support/TestFiles.h"

namespace {

using zonda::TMediaStream;
constexpr int kRate = 44100;
constexpr int64_t kChunkFrames = 264600;  // 6 seconds
constexpr int kMinutes = 10;

std::filesystem::path BenchDir() {
  auto dir = std::filesystem::temp_directory_path() / "zonda-bench-libdec";
  std::filesystem::create_directories(dir);
  return dir;
}

// Plucked notes of a pentatonic scale with harmonics, a kick and a hi-hat:
// enough spectral change that the encoders work as on music.
void WriteMusic(const std::string& path) {
  const int64_t frames = int64_t{kMinutes} * 60 * kRate;
  std::vector<uint8_t> bytes(static_cast<size_t>(frames) * 4);
  std::mt19937 rng(42);
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  const double scale[] = {220.0, 247.5, 277.2, 330.0, 370.0, 440.0, 495.0, 554.4};
  double freq = 220, phase = 0;
  const int64_t noteLen = kRate / 4;
  for (int64_t i = 0; i < frames; ++i) {
    const int64_t inNote = i % noteLen;
    if (inNote == 0) freq = scale[rng() % 8];
    const double env = std::exp(-3.0 * inNote / noteLen);
    phase += 2 * M_PI * freq / kRate;
    const double tone = env * (0.5 * std::sin(phase) + 0.25 * std::sin(2 * phase) + 0.12 * std::sin(3 * phase));
    const int64_t inBeat = i % (kRate / 2);
    const double kick = inBeat < 4000 ? 0.6 * std::exp(-inBeat / 800.0) * std::sin(2 * M_PI * 55 * inBeat / kRate) : 0;
    const double hat = (i % (kRate / 4)) < 1500 ? 0.08 * noise(rng) : 0.01 * noise(rng);
    const double l = 0.8 * (tone + kick + hat), r = 0.8 * (0.8 * tone + kick + 1.2 * hat);
    const auto L = static_cast<int16_t>(std::lround(std::clamp(l, -1.0, 1.0) * 32767));
    const auto R = static_cast<int16_t>(std::lround(std::clamp(r, -1.0, 1.0) * 32767));
    bytes[4 * i] = static_cast<uint8_t>(L & 0xFF);
    bytes[4 * i + 1] = static_cast<uint8_t>((L >> 8) & 0xFF);
    bytes[4 * i + 2] = static_cast<uint8_t>(R & 0xFF);
    bytes[4 * i + 3] = static_cast<uint8_t>((R >> 8) & 0xFF);
  }
  zonda::test::WriteWav(path, zonda::test::WavSpec{}, bytes);
}

// The 10-minute file of the given kind (0 FLAC, 1 M4A, 2 Ogg), made on first use.
const std::string& BenchFile(int kind) {
  static std::string files[3];
  if (!files[kind].empty()) return files[kind];
  const auto dir = BenchDir();
  const std::string wav = (dir / "music.wav").string();
  if (!std::filesystem::exists(wav)) WriteMusic(wav);
  const char* names[] = {"music.flac", "music.m4a", "music.ogg"};
  const char* args[] = {"-c:a flac", "-c:a aac -b:a 192k", "-c:a libvorbis -q:a 5"};
  const std::string out = (dir / names[kind]).string();
  if (!std::filesystem::exists(out)) {
    zonda::test::Run("ffmpeg -nostdin -v error -y -i '" + wav + "' " + args[kind] + " '" + out + "'");
  }
  files[kind] = out;
  return files[kind];
}

void SetLabel(benchmark::State& state, int kind) {
  const char* labels[] = {"FLAC", "M4A/AAC", "Ogg Vorbis"};
  state.SetLabel(labels[kind]);
}

void BM_OpenToFirstChunk(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const std::string& file = BenchFile(kind);
  std::vector<int16_t> chunk(kChunkFrames * 2);
  double indexMs = 0, openMs = 0;
  for (auto _ : state) {
    TMediaStream s;
    if (!s.Open(file)) state.SkipWithError("cannot open");
    benchmark::DoNotOptimize(s.Read(0, chunk.data(), kChunkFrames));
    indexMs += s.Times().indexMs;
    openMs += s.Times().openMs;
  }
  state.counters["open_ms"] = openMs / static_cast<double>(state.iterations());
  state.counters["index_share"] = openMs > 0 ? indexMs / openMs : 0;
  SetLabel(state, kind);
}

void BM_Chunk(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const bool jump = state.range(1) != 0;
  TMediaStream s;
  if (!s.Open(BenchFile(kind))) state.SkipWithError("cannot open");
  std::vector<int16_t> chunk(kChunkFrames * 2);
  const int64_t chunks = s.TotalFrames() / kChunkFrames;
  int64_t next = 0;
  std::mt19937 rng(5);
  for (auto _ : state) {
    // Sequential: the chunk after the last one; jump: a chunk anywhere else.
    const int64_t index = jump ? static_cast<int64_t>(rng() % static_cast<uint32_t>(chunks)) : next;
    if (jump && index == next) continue;
    benchmark::DoNotOptimize(s.Read(index * kChunkFrames, chunk.data(), kChunkFrames));
    next = (index + 1) % chunks;
  }
  SetLabel(state, kind);
}

void BM_Throughput(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const std::string& file = BenchFile(kind);
  std::vector<int16_t> chunk(kChunkFrames * 2);
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    TMediaStream s;
    if (!s.Open(file)) state.SkipWithError("cannot open");
    for (int64_t at = 0; at < s.TotalFrames(); at += kChunkFrames) benchmark::DoNotOptimize(s.Read(at, chunk.data(), kChunkFrames));
    const auto t1 = std::chrono::steady_clock::now();
    zonda::test::Run("ffmpeg -nostdin -v error -i '" + file + "' -f s16le - > /dev/null");
    const auto t2 = std::chrono::steady_clock::now();
    ours += std::chrono::duration<double>(t1 - t0).count();
    theirs += std::chrono::duration<double>(t2 - t1).count();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["ours_s"] = ours / n;
  state.counters["ffmpeg_s"] = theirs / n;
  state.counters["vs_ffmpeg"] = theirs > 0 ? ours / theirs : 0;
  state.counters["x_realtime"] = ours > 0 ? n * kMinutes * 60 / ours : 0;
  SetLabel(state, kind);
}

BENCHMARK(BM_OpenToFirstChunk)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Chunk)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Throughput)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
