// Callback round trip through libilvex.so, PortAudio and JACK on the dummy
// driver, at 64, 128 and 256 frames, 60 s each (ZONDA_BENCH_SECONDS to change).
//
// Each run starts its own jackd (dummy driver, period = the block size), opens
// the library on PortAudio's JACK host API through the program's binding, and
// loops the library's four outputs back into its four inputs through a JACK
// client. The output callback sends a one-sample impulse once a second; the
// input callback times its return. Reported: xruns (JACK's xrun callback),
// callbacks against the clock's count, the loop latency and the largest gap
// between two callbacks. Each block size is followed by a peer run: the same
// loop made of two plain libjack clients, without PortAudio or the library,
// for the xruns the machine produces anyway. The server runs --no-realtime like the CI's, or
// --realtime with ZONDA_BENCH_JACK_REALTIME=1 (needs real-time rights).
// libilvex.so comes from this build's installation tree unless
// ZONDA_PROGRAM_DIR names another.
//
//   ./build.sh bench   or   build/bench/bench/bench_ilvex_roundtrip
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "engine/IlvexLibrary.h"
#include "tests/support/JackClient.h"

namespace zonda {
namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int64_t> g_outFrame{0};     // frames produced so far
std::atomic<int64_t> g_inFrame{0};      // frames received so far
std::atomic<int64_t> g_pulseSentAt{-1};  // output frame of the pending impulse
std::atomic<int64_t> g_latencySum{0}, g_latencyCount{0}, g_latencyMax{0};
std::atomic<int64_t> g_calls{0}, g_maxGapNs{0}, g_lastCallNs{0};
int64_t g_pulseEvery = 44100;

int64_t NowNs() { return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(); }

int32_t OnOutput(float* buffer, int32_t frames) {
  const int64_t now = NowNs();
  const int64_t last = g_lastCallNs.exchange(now);
  if (last != 0 && now - last > g_maxGapNs.load()) g_maxGapNs.store(now - last);
  g_calls.fetch_add(1);
  const int64_t k0 = g_outFrame.load();
  for (int32_t i = 0; i < frames * 4; ++i) buffer[i] = 0.0f;
  // An impulse on every multiple of g_pulseEvery: the loop is far shorter than that.
  const int64_t next = (k0 + g_pulseEvery - 1) / g_pulseEvery * g_pulseEvery;
  if (next > 0 && next - k0 < frames) {
    buffer[4 * (next - k0)] = 1.0f;
    g_pulseSentAt.store(next);
  }
  g_outFrame.store(k0 + frames);
  return frames;
}

int32_t OnInput(float* buffer, int32_t frames) {
  const int64_t k0 = g_inFrame.load();
  for (int32_t i = 0; i < frames; ++i) {
    if (buffer[4 * i] > 0.5f) {
      const int64_t sent = g_pulseSentAt.exchange(-1);
      if (sent < 0) continue;
      // Input and output advance in lockstep (one duplex stream), so the frame
      // distance between where it left and where it came back is the loop.
      const int64_t latency = (k0 + i) - sent;
      g_latencySum.fetch_add(latency);
      g_latencyCount.fetch_add(1);
      if (latency > g_latencyMax.load()) g_latencyMax.store(latency);
    }
  }
  g_inFrame.store(k0 + frames);
  return frames;
}

// The peer: the same graph made of two plain libjack clients (no PortAudio, no
// libilvex), on a server of its own, for the xruns the machine gives anyway.
void RawJackBaseline(benchmark::State& state, int block, double seconds, bool realtime) {
  test::JackClient a("zonda-bench-raw-a", 4, 4);
  test::JackClient b("zonda-bench-raw-b", 4, 4);
  a.SetLoopback(true);
  b.SetLoopback(true);
  if (!a.Activate() || !b.Activate()) {
    state.SkipWithError("raw clients failed");
    return;
  }
  for (int c = 0; c < 4; ++c) {
    a.Connect(a.OutputPort(c), b.InputPort(c));
    b.Connect(b.OutputPort(c), a.InputPort(c));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const int64_t xruns0 = a.Xruns();
  const int64_t cycles0 = a.Cycles();
  const auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  state.SetIterationTime(elapsed);
  state.counters["xruns"] = double(a.Xruns() - xruns0);
  state.counters["callbacks"] = double(a.Cycles() - cycles0);
  state.counters["callbacks_expected"] = elapsed * 44100.0 / block;
  state.counters["block_ms"] = block * 1000.0 / 44100.0;
  state.counters["realtime"] = realtime ? 1 : 0;
}

// Arguments: block frames, 0 = libilvex through PortAudio, 1 = the plain libjack peer.
void BM_IlvexJackRoundTrip(benchmark::State& state) {
  ::setenv("ZONDA_PROGRAM_DIR", ZONDA_BENCH_PROGRAM_DIR, 0);  // before the library is first looked up
  const int block = static_cast<int>(state.range(0));
  const char* secondsEnv = std::getenv("ZONDA_BENCH_SECONDS");
  const double seconds = secondsEnv ? std::atof(secondsEnv) : 60.0;
  const char* realtimeEnv = std::getenv("ZONDA_BENCH_JACK_REALTIME");
  const bool realtime = realtimeEnv != nullptr && std::string(realtimeEnv) == "1";
  for (auto _ : state) {
    test::JackServer server("zonda-bench-" + std::to_string(::getpid()) + "-" + std::to_string(block), block, 4, 4, realtime);
    if (!server.Ok()) {
      state.SkipWithError("jackd did not start");
      return;
    }
    if (state.range(1) == 1) {
      RawJackBaseline(state, block, seconds, realtime);
      continue;
    }
    ::setenv("ZONDA_AUDIO", "jack", 1);
    ::setenv("ZONDA_AUDIO_BLOCK", std::to_string(block).c_str(), 1);
    ::setenv("ZONDA_JACK_CLIENT", "zonda-bench", 1);
    g_outFrame = g_inFrame = 0;
    g_pulseSentAt = -1;
    g_latencySum = g_latencyCount = g_latencyMax = 0;
    g_calls = g_maxGapNs = g_lastCallNs = 0;

    test::JackClient loop("zonda-bench-loop", 4, 4);
    loop.SetLoopback(true);
    if (!loop.Activate()) {
      state.SkipWithError("loop client failed");
      return;
    }
    IlvexLibrary ilvex;
    if (!ilvex.Load() || ilvex.InitAudioIO(nullptr, &OnInput, &OnOutput) == 0) {
      state.SkipWithError("libilvex.so did not open JACK");
      return;
    }
    loop.WaitForPorts("zonda-bench", true, 4, 5000);
    const auto outs = loop.PortsOf("zonda-bench", true);
    const auto ins = loop.PortsOf("zonda-bench", false);
    for (size_t c = 0; c < 4 && c < outs.size() && c < ins.size(); ++c) {
      loop.Connect(outs[c], loop.InputPort(int(c)));
      loop.Connect(loop.OutputPort(int(c)), ins[c]);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const int64_t xruns0 = loop.Xruns();
    const int64_t calls0 = g_calls.load();
    g_maxGapNs = 0;
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const int64_t calls = g_calls.load() - calls0;
    const int64_t xruns = loop.Xruns() - xruns0;
    ilvex.DeinitAudioIO();
    state.SetIterationTime(elapsed);

    state.counters["xruns"] = double(xruns);
    state.counters["callbacks"] = double(calls);
    state.counters["callbacks_expected"] = elapsed * 44100.0 / block;
    state.counters["max_gap_ms"] = g_maxGapNs.load() / 1e6;
    state.counters["block_ms"] = block * 1000.0 / 44100.0;
    const int64_t n = g_latencyCount.load();
    state.counters["loop_frames"] = n > 0 ? double(g_latencySum.load()) / double(n) : -1.0;
    state.counters["loop_frames_max"] = double(g_latencyMax.load());
    state.counters["pulses"] = double(n);
    state.counters["realtime"] = realtime ? 1 : 0;
  }
}

// Interleaved, so each pair sees about the same machine load.
BENCHMARK(BM_IlvexJackRoundTrip)
    ->ArgNames({"frames", "peer"})
    ->Args({64, 0})->Args({64, 1})
    ->Args({128, 0})->Args({128, 1})
    ->Args({256, 0})->Args({256, 1})
    ->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace zonda

BENCHMARK_MAIN();
