// End to end through JACK: libilvex.so loaded by the program's binding opens
// PortAudio's JACK host API; a JACK client in the test captures the four
// output ports and feeds the four input ports, and both directions must
// arrive bit-exact, frame after frame.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "engine/IlvexLibrary.h"
#include "tests/platform/ilvex/AllocationCounter.h"
#include "tests/platform/ilvex/CountingSignal.h"
#include "tests/support/JackClient.h"
#include "tests/platform/ilvex/IsolatedSettings.h"
#include "tests/support/Require.h"

namespace zonda {
namespace {

ZONDA_ISOLATED_SETTINGS();

constexpr int64_t kCaptureFrames = 3 * 44100;

std::atomic<int64_t> g_outFrame{0};
std::atomic<int64_t> g_outCalls{0};
std::atomic<int64_t> g_wrongSize{0};
std::atomic<int32_t> g_expectedFrames{0};
std::vector<std::vector<float>> g_in;
std::atomic<bool> g_recordInput{false};
std::atomic<int64_t> g_inFrames{0};
std::atomic<bool> g_armAllocationWatch{false};

int32_t OnOutput(float* buffer, int32_t frames) {
  if (frames != g_expectedFrames.load()) g_wrongSize.fetch_add(1);
  if (g_armAllocationWatch.exchange(false)) test::WatchAllocationsOnThisThread();
  const int64_t k0 = g_outFrame.load(std::memory_order_relaxed);
  for (int32_t i = 0; i < frames; ++i)
    for (int c = 0; c < 4; ++c) buffer[4 * i + c] = test::CountingSample(c, k0 + i);
  g_outFrame.store(k0 + frames, std::memory_order_relaxed);
  g_outCalls.fetch_add(1);
  return frames;
}

int32_t OnInput(float* buffer, int32_t frames) {
  if (frames != g_expectedFrames.load()) g_wrongSize.fetch_add(1);
  if (!g_recordInput.load(std::memory_order_acquire)) return frames;
  const int64_t at = g_inFrames.load(std::memory_order_relaxed);
  const int64_t take = std::min<int64_t>(frames, kCaptureFrames - at);
  for (int64_t i = 0; i < take; ++i)
    for (int c = 0; c < 4; ++c) g_in[size_t(c)][size_t(at + i)] = buffer[4 * i + c];
  g_inFrames.store(at + std::max<int64_t>(take, 0), std::memory_order_release);
  return frames;
}

std::vector<std::vector<float>> CountingChannels(int64_t frames) {
  std::vector<std::vector<float>> ch(4, std::vector<float>(size_t(frames)));
  for (int c = 0; c < 4; ++c)
    for (int64_t k = 0; k < frames; ++k) ch[size_t(c)][size_t(k)] = test::CountingSample(c, k);
  return ch;
}

void ExpectIntact(const test::CountingCheck& r, int64_t minFrames, int64_t xruns, const char* what) {
  ASSERT_GE(r.firstMatch, 0) << what << ": the signal never arrived";
  EXPECT_GE(r.matched, minFrames) << what;
  if (xruns == 0) {
    EXPECT_EQ(r.mismatched, 0) << what;
    EXPECT_EQ(r.jumps, 0) << what;
  } else {  // a loaded machine: JACK reported xruns, allow their traces only
    EXPECT_LT(r.mismatched + r.jumps, r.matched / 20) << what << " with " << xruns << " xruns";
  }
}

class IlvexJack : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    ZONDA_REQUIRE_JACK();
    ::setenv("ZONDA_AUDIO", "jack", 1);
    clientName_ = "zonda-e2e-" + std::to_string(::getpid());
    ::setenv("ZONDA_JACK_CLIENT", clientName_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("ZONDA_AUDIO");
    ::unsetenv("ZONDA_AUDIO_BLOCK");
  }

  std::string clientName_;
};

// Runs the library on the current server with `channels` device ports each
// way, loops the counting signal out and in through a tap client, and checks
// both directions. block 0: the server's period.
void RunThroughJack(const std::string& libClient, int channels, int block) {
  test::JackClient tap("zonda-e2e-tap", channels, channels, kCaptureFrames);
  ASSERT_TRUE(tap.Ok());
  ASSERT_EQ(tap.SampleRate(), 44100);
  auto playback = CountingChannels(test::kCountingPeriod * 8);
  playback.resize(size_t(channels));
  tap.SetPlayback(playback, true);
  ASSERT_TRUE(tap.Activate());

  if (block == 0) block = tap.BufferFrames();
  ::setenv("ZONDA_AUDIO_BLOCK", std::to_string(block).c_str(), 1);
  g_in.assign(4, std::vector<float>(size_t(kCaptureFrames)));
  g_inFrames = 0;
  g_recordInput = false;
  g_outFrame = 0;
  g_outCalls = 0;
  g_wrongSize = 0;
  g_expectedFrames = block;

  IlvexLibrary ilvex;
  ASSERT_TRUE(ilvex.Load()) << ilvex.LastError();
  ASSERT_EQ(ilvex.InitAudioIO(nullptr, &OnInput, &OnOutput), 1);
  EXPECT_EQ(ilvex.GetLatency(), block);

  ASSERT_TRUE(tap.WaitForPorts(libClient, true, size_t(channels), 5000));
  ASSERT_TRUE(tap.WaitForPorts(libClient, false, size_t(channels), 5000));
  const auto outs = tap.PortsOf(libClient, true);
  const auto ins = tap.PortsOf(libClient, false);
  ASSERT_EQ(outs.size(), size_t(channels)) << "one port per device channel";
  ASSERT_EQ(ins.size(), size_t(channels));
  for (int c = 0; c < channels; ++c) {
    ASSERT_TRUE(tap.Connect(outs[size_t(c)], tap.InputPort(c)));
    ASSERT_TRUE(tap.Connect(tap.OutputPort(c), ins[size_t(c)]));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  test::ResetWatchedAllocations();
  g_armAllocationWatch = true;
  tap.StartCapture();
  g_recordInput = true;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((tap.CapturedFrames() < 44100 || g_inFrames.load() < 44100) && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  tap.StopCapture();
  g_recordInput = false;
  test::StopWatchingAllocations();
  EXPECT_EQ(test::WatchedAllocations(), 0) << "the audio thread allocated while running";

  ilvex.DeinitAudioIO();
  const int64_t calls = g_outCalls.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(g_outCalls.load(), calls) << "callbacks ran after deinit_audio_io";
  EXPECT_EQ(g_wrongSize.load(), 0) << "every callback gets get_latency() frames";

  // Master L/R (and monitor L/R where the device has them) arrive as sent.
  std::vector<std::vector<float>> out;
  for (int c = 0; c < channels; ++c) out.push_back(tap.Captured(c));
  ExpectIntact(test::CheckCounting(out), 40000, tap.Xruns(), "output");

  const int64_t inFrames = g_inFrames.load();
  for (auto& ch : g_in) ch.resize(size_t(inFrames));
  std::vector<std::vector<float>> in(g_in.begin(), g_in.begin() + channels);
  ExpectIntact(test::CheckCounting(in), 40000, tap.Xruns(), "input");
  for (int c = channels; c < 4; ++c)
    EXPECT_EQ(g_in[size_t(c)], std::vector<float>(size_t(inFrames), 0.0f)) << "input " << c << " the device lacks";
}

TEST_P(IlvexJack, FourChannelsOutAndInArriveBitExact) { RunThroughJack(clientName_, 4, GetParam()); }

// 0: the server's own period; 441: a block PortAudio must adapt to it.
INSTANTIATE_TEST_SUITE_P(Blocks, IlvexJack, ::testing::Values(0, 441));

// A device with two ports each way: the master goes out, the monitor is
// dropped, and line B reads silence. Runs on a private server.
TEST(IlvexJackTwoChannels, MasterOnlyOnATwoChannelDevice) {
  if (!test::HaveTool("jackd")) {
    if (test::JackRequired()) FAIL() << "missing: jackd";
    ZONDA_SKIP_OR_FAIL("missing: jackd");
  }
  test::JackServer server("zonda-two-ch-" + std::to_string(::getpid()), 256, 2, 2);
  ASSERT_TRUE(server.Ok());
  const std::string client = "zonda-e2e2-" + std::to_string(::getpid());
  ::setenv("ZONDA_AUDIO", "jack", 1);
  ::setenv("ZONDA_JACK_CLIENT", client.c_str(), 1);
  RunThroughJack(client, 2, 0);
  ::unsetenv("ZONDA_AUDIO");
  ::unsetenv("ZONDA_AUDIO_BLOCK");
}

TEST(IlvexJackFailure, NoServerMeansNoDevice) {
  ::setenv("ZONDA_AUDIO", "jack", 1);
  const char* before = std::getenv("JACK_DEFAULT_SERVER");
  const std::string saved = before ? before : "";
  ::setenv("JACK_DEFAULT_SERVER", ("zonda-absent-" + std::to_string(::getpid())).c_str(), 1);
  ::setenv("JACK_NO_START_SERVER", "1", 1);
  IlvexLibrary ilvex;
  ASSERT_TRUE(ilvex.Load()) << ilvex.LastError();
  EXPECT_EQ(ilvex.InitAudioIO(nullptr, &OnInput, &OnOutput), 0);
  EXPECT_EQ(ilvex.GetLatency(), 512);
  ilvex.DeinitAudioIO();
  if (before) ::setenv("JACK_DEFAULT_SERVER", saved.c_str(), 1); else ::unsetenv("JACK_DEFAULT_SERVER");
  ::unsetenv("ZONDA_AUDIO");
}

}  // namespace
}  // namespace zonda
