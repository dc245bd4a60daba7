// The ALSA host API path, on an ALSA "null" PCM defined in a private
// ~/.asoundrc (so it runs on machines without sound cards).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "engine/IlvexLibrary.h"
#include "tests/platform/ilvex/IsolatedSettings.h"

namespace zonda {
namespace {

ZONDA_ISOLATED_SETTINGS();

std::atomic<int64_t> g_calls{0}, g_inCalls{0}, g_wrongSize{0};
std::atomic<int32_t> g_expected{0};

int32_t OnInput(float*, int32_t frames) {
  g_inCalls.fetch_add(1);
  return frames;
}
int32_t OnOutput(float* buffer, int32_t frames) {
  if (frames != g_expected.load()) g_wrongSize.fetch_add(1);
  g_calls.fetch_add(1);
  buffer[0] = 0.25f;
  return frames;
}

TEST(IlvexAlsa, OpensTheChosenAlsaDeviceAtTheChosenBlock) {
  // ALSA reads its configuration once per process: set HOME before PortAudio starts.
  test::TempDir home;
  std::ofstream(home.file(".asoundrc")) << "pcm.zondanull {\n  type null\n  hint { show on description \"Zonda null\" }\n}\n";
  ::setenv("HOME", home.path().c_str(), 1);
  ::setenv("JACK_DEFAULT_SERVER", "zonda-no-jack-here", 1);  // ALSA only
  ::setenv("JACK_NO_START_SERVER", "1", 1);
  ::setenv("ZONDA_AUDIO", "alsa", 1);
  ::setenv("ZONDA_AUDIO_BLOCK", "256", 1);
  g_expected = 256;

  IlvexLibrary ilvex;
  ASSERT_TRUE(ilvex.Load()) << ilvex.LastError();
  ASSERT_EQ(ilvex.InitAudioIO(nullptr, &OnInput, &OnOutput), 1) << "ALSA null PCM did not open";
  EXPECT_EQ(ilvex.GetLatency(), 256);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (g_calls.load() < 20 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ilvex.DeinitAudioIO();
  const int64_t calls = g_calls.load();
  EXPECT_GE(calls, 20);
  EXPECT_EQ(g_wrongSize.load(), 0);
  EXPECT_GE(g_inCalls.load(), calls);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(g_calls.load(), calls) << "callbacks ran after deinit_audio_io";
  ::unsetenv("ZONDA_AUDIO");
  ::unsetenv("ZONDA_AUDIO_BLOCK");
}

}  // namespace
}  // namespace zonda
