// The JACK server going away under an open device must not hang the program:
// closing returns, and the next open reports no device instead of waiting on
// the dead server. (Its own program: afterwards this process leaves JACK alone.)
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

#include "engine/IlvexLibrary.h"
#include "tests/platform/ilvex/IsolatedSettings.h"
#include "tests/support/JackClient.h"
#include "tests/support/Require.h"

namespace zonda {
namespace {

ZONDA_ISOLATED_SETTINGS();

std::atomic<int64_t> g_calls{0};
int32_t OnInput(float*, int32_t frames) { return frames; }
int32_t OnOutput(float*, int32_t frames) {
  g_calls.fetch_add(1);
  return frames;
}

// Runs `step`; a hang ends the program with a failure instead of waiting for
// the suite's time-out (a hung call cannot be joined).
template <typename F>
void WithinOrDie(const char* what, F step) {
  auto done = std::async(std::launch::async, step);
  if (done.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    std::fprintf(stderr, "FAILED: %s hung\n", what);
    std::_Exit(1);
  }
}

TEST(IlvexJackGone, ServerGoneWhileOpenStillCloses) {
  if (!test::HaveTool("jackd")) {
    if (test::JackRequired()) FAIL() << "missing: jackd";
    ZONDA_SKIP_OR_FAIL("missing: jackd");
  }
  const std::string name = "zonda-gone-" + std::to_string(::getpid());
  ::setenv("ZONDA_AUDIO", "jack", 1);
  ::setenv("ZONDA_JACK_CLIENT", name.c_str(), 1);
  ::setenv("JACK_NO_START_SERVER", "1", 1);
  IlvexLibrary ilvex;
  ASSERT_TRUE(ilvex.Load()) << ilvex.LastError();
  {
    test::JackServer server(name, 256);
    ASSERT_TRUE(server.Ok());
    ASSERT_EQ(ilvex.InitAudioIO(nullptr, &OnInput, &OnOutput), 1);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (g_calls.load() < 10 && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GE(g_calls.load(), 10);
  }  // the server stops here
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ::setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
  WithinOrDie("deinit_audio_io after the server went away", [&] { ilvex.DeinitAudioIO(); });
  int32_t reopened = -1;
  WithinOrDie("init_audio_io without the server", [&] { reopened = ilvex.InitAudioIO(nullptr, &OnInput, &OnOutput); });
  EXPECT_EQ(reopened, 0);
  WithinOrDie("the second deinit_audio_io", [&] { ilvex.DeinitAudioIO(); });
  ::unsetenv("ZONDA_AUDIO");
}

}  // namespace
}  // namespace zonda
