// The deck spine's speed and memory:
//   DeckLoad            Load -> LoadOk of a 10-minute 44.1 kHz WAV (warm page cache)
//   DeckSeekMid         RequestSeek to the middle of that track -> SeekPending clear
//   DeckPlayThrough2h   a 2-hour track played straight through by moving Position
//                       one second at a time and running the worker: peak chunks, peak RSS
//   DecodeWholeTrack    every chunk of the 10-minute track through TDataProvider
//   PeerSoxReadAll      sox reading the same file to raw (peer for DecodeWholeTrack)
//   PeerCat             cat of the same file to /dev/null
//   BufferSmall1KB      TBufferSmall Write + Read of 1 KB blocks
// Run: build/<dir>/bench/bench_spine (Release, -DZONDA_BENCH=ON).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>
#include <vector>

#include "engine/BufferSmall.h"
#include "engine/SoundSource.h"
#include "platform/ProgramDir.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

using Clock = std::chrono::steady_clock;

const test::TempDir& Dir() {
  static test::TempDir dir;
  return dir;
}

void UseScratchProgramDir() {
  static bool done = [] {
    setenv("ZONDA_PROGRAM_DIR", Dir().path().c_str(), 1);
    ResetProgramDirForTests();
    return true;
  }();
  (void)done;
}

// 10 minutes of a stereo sine (a real, non-zero signal), written once.
const std::string& TenMinuteWav() {
  static const std::string file = [] {
    const std::string name = Dir().file("ten_minutes.wav");
    test::WriteDeckWav(name, test::SineStereo(600LL * 44100, 440, 660, 0.5));
    return name;
  }();
  return file;
}

// 2 hours of deck PCM as a sparse file: the header and a hole of zeros.
const std::string& TwoHourWav() {
  static const std::string file = [] {
    const std::string name = Dir().file("two_hours.wav");
    test::WriteDeckWav(name, std::vector<int16_t>(4, 0));
    const int64_t dataBytes = 7200LL * 176400;
    std::fstream f(name, std::ios::in | std::ios::out | std::ios::binary);
    auto put32 = [&](std::streamoff at, uint32_t v) {
      f.seekp(at);
      for (int i = 0; i < 4; ++i) f.put(static_cast<char>(v >> (8 * i)));
    };
    put32(4, static_cast<uint32_t>(36 + dataBytes));
    put32(40, static_cast<uint32_t>(dataBytes));
    f.close();
    std::filesystem::resize_file(name, 44 + dataBytes);
    return name;
  }();
  return file;
}

double ResidentMB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

template <class Pred>
void SpinUntil(Pred pred) {
  while (!pred()) std::this_thread::yield();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

void DeckLoad(benchmark::State& state) {
  UseScratchProgramDir();
  TSoundSource deck(true);
  const std::string& file = TenMinuteWav();
  std::vector<double> ms;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    deck.Load(file);
    SpinUntil([&] { return deck.LoadOk.load() && !deck.LoadPending.load(); });
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    state.SetIterationTime(ms.back() / 1000.0);
  }
  state.counters["median_ms"] = Median(ms);
}
BENCHMARK(DeckLoad)->UseManualTime()->Iterations(41)->Unit(benchmark::kMillisecond);

void DeckSeekMid(benchmark::State& state) {
  UseScratchProgramDir();
  TSoundSource deck(true);
  deck.Load(TenMinuteWav());
  SpinUntil([&] { return deck.LoadOk.load() && !deck.LoadPending.load(); });
  const int32_t mid = deck.LastFrame.load() / 2;
  std::vector<double> ms;
  bool flip = false;
  for (auto _ : state) {
    // Alternate between two far targets so every seek decodes fresh chunks.
    const int32_t target = flip ? mid : mid / 2;
    flip = !flip;
    const auto t0 = Clock::now();
    deck.RequestSeek(target);
    SpinUntil([&] { return !deck.SeekPending.load(); });
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    state.SetIterationTime(ms.back() / 1000.0);
  }
  state.counters["median_ms"] = Median(ms);
}
BENCHMARK(DeckSeekMid)->UseManualTime()->Iterations(41)->Unit(benchmark::kMillisecond);

void DeckPlayThrough2h(benchmark::State& state) {
  UseScratchProgramDir();
  const std::string& file = TwoHourWav();
  for (auto _ : state) {
    TSoundSource deck(true);
    deck.Load(file);
    SpinUntil([&] { return deck.LoadOk.load() && !deck.LoadPending.load(); });
    int32_t peakChunks = 0;
    double peakRss = ResidentMB();
    const int32_t last = deck.LastFrame.load();
    for (int64_t frame = 0; frame <= last; frame += 44100) {
      deck.Position = static_cast<double>(frame);
      const uint32_t before = deck.WorkerPasses.load();
      deck.WakeEvent.Signal();
      SpinUntil([&] { return deck.WorkerPasses.load() > before; });
      peakChunks = std::max(peakChunks, deck.ChunksPresent());
      if (frame % (60 * 44100) == 0) peakRss = std::max(peakRss, ResidentMB());
    }
    int32_t pinned = 0;
    for (int32_t i = 0; i < deck.ChunkCount.load(); ++i) {
      if (const TChunk* c = deck.ChunkAt(i); c && c->Pinned.load()) ++pinned;
    }
    state.counters["chunks"] = deck.ChunkCount.load();
    state.counters["peak_chunks"] = peakChunks;
    state.counters["pinned_at_end"] = pinned;
    state.counters["peak_rss_MB"] = peakRss;
  }
}
BENCHMARK(DeckPlayThrough2h)->Iterations(1)->Unit(benchmark::kMillisecond);

void DecodeWholeTrack(benchmark::State& state) {
  const std::string& file = TenMinuteWav();
  std::vector<uint8_t> chunk(kChunkBytes);
  int64_t total = 0;
  for (auto _ : state) {
    TDataProvider p;
    p.Open(file);
    total = p.PCMLength();
    for (int64_t at = 0; at < total; at += kChunkBytes) {
      benchmark::DoNotOptimize(p.ReadPCM(static_cast<int32_t>(at), chunk.data(), kChunkBytes));
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * total);
}
BENCHMARK(DecodeWholeTrack)->Unit(benchmark::kMillisecond);

void PeerSoxReadAll(benchmark::State& state) {
  const std::string cmd = "sox '" + TenMinuteWav() + "' -t raw /dev/null";
  for (auto _ : state) benchmark::DoNotOptimize(std::system(cmd.c_str()));
}
BENCHMARK(PeerSoxReadAll)->Unit(benchmark::kMillisecond);

void PeerCat(benchmark::State& state) {
  const std::string cmd = "cat '" + TenMinuteWav() + "' > /dev/null";
  for (auto _ : state) benchmark::DoNotOptimize(std::system(cmd.c_str()));
}
BENCHMARK(PeerCat)->Unit(benchmark::kMillisecond);

void BufferSmall1KB(benchmark::State& state) {
  TBufferSmall ring(35280);
  std::vector<uint8_t> in(1024, 7), out(1024);
  for (auto _ : state) {
    ring.Write(in.data(), 1024);
    ring.Read(out.data(), 1024);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 2048);
}
BENCHMARK(BufferSmall1KB);

}  // namespace
}  // namespace zonda

BENCHMARK_MAIN();
