#pragma once
// A JACK client for tests and benchmarks: captures what other clients send
// to its input ports, plays known signals from its output ports, or loops its
// inputs straight back out, and counts the server's xruns.
//
// Link with `jack` (zonda_test(... DEPS ... jack)). The client joins the
// server named by JACK_DEFAULT_SERVER and never starts one.
//
// To capture libilvex.so: set ZONDA_AUDIO=jack (PortAudio's JACK host API,
// no fallback), ZONDA_AUDIO_BLOCK=<frames> if wanted, and ZONDA_JACK_CLIENT to
// a name unique to the test program (tests run in parallel on one server);
// the library's ports are then PortsOf(that name, true/false), four each way
// (master L, master R, monitor L, monitor R). See
// tests/platform/ilvex/test_ilvex_jack.cpp for a complete round trip.
//
//   ZONDA_REQUIRE_JACK();                       // fail in CI without JACK, skip elsewhere
//   test::JackClient jack("capture", 4, 0, 10 * 44100);
//   ASSERT_TRUE(jack.Activate());
//   auto sources = jack.PortsOf("zonda", /*outputs=*/true);   // "zonda:out_0" ...
//   for (int c = 0; c < 4; ++c) jack.Connect(sources[c], jack.InputPort(c));
//   jack.StartCapture();  ...;  jack.StopCapture();
//   std::vector<float> left = jack.Captured(0);
//
// Main (test) thread: everything except the JACK process callback inside.
// Capture and playback buffers are made up front; the process callback only
// copies into and out of them.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/Require.h"

namespace zonda::test {

// ZONDA_JACK_RUNNING=1: the CI started a server, so JACK tests must run.
bool JackRequired();
// A server answers on JACK_DEFAULT_SERVER (opens and closes a probe client).
bool JackServerRunning();

// In a test body: FAIL when JACK is required but absent, skip (fail under CI) otherwise.
#define ZONDA_REQUIRE_JACK()                                                                   \
  do {                                                                                         \
    if (!::zonda::test::JackServerRunning()) {                                                 \
      if (::zonda::test::JackRequired()) FAIL() << "ZONDA_JACK_RUNNING=1 but no JACK server";  \
      ZONDA_SKIP_OR_FAIL("no JACK server (set JACK_DEFAULT_SERVER or start jackd)");           \
    }                                                                                          \
  } while (0)

// A private jackd on the dummy driver, for a test or bench that needs a
// server shaped its own way (period, channel counts). Sets JACK_DEFAULT_SERVER
// to its name (restoring the previous value when destroyed) and is stopped by
// its PID.
//
//   test::JackServer server("zonda-two-ch-" + std::to_string(getpid()), 256, 2, 2);
//   if (!server.Ok()) ...
class JackServer {
 public:
  JackServer(const std::string& name, int periodFrames, int captureChannels = 4, int playbackChannels = 4,
             bool realtime = false);
  ~JackServer();
  JackServer(const JackServer&) = delete;
  JackServer& operator=(const JackServer&) = delete;
  bool Ok() const;  // started and answering

 private:
  int pid_ = -1;
  std::string previousServer_;
  bool hadPrevious_ = false;
};

class JackClient {
 public:
  // `captureFrames`: capacity of the capture buffers, frames per input port.
  JackClient(const std::string& name, int inputs, int outputs, int64_t captureFrames = 0);
  ~JackClient();
  JackClient(const JackClient&) = delete;
  JackClient& operator=(const JackClient&) = delete;

  bool Ok() const;                  // opened and ports registered
  const std::string& Name() const;  // the name the server gave it
  int SampleRate() const;
  int BufferFrames() const;

  // Before Activate: what the output ports play, one vector per port (shorter
  // vectors and missing ports play silence after their end; `loop` repeats).
  void SetPlayback(std::vector<std::vector<float>> channels, bool loop);
  // Before Activate: each output port carries its input port's samples of the same cycle.
  void SetLoopback(bool on);

  bool Activate();
  void Deactivate();

  std::string InputPort(int index) const;   // full name, "client:in_1"
  std::string OutputPort(int index) const;  // "client:out_1"
  // Ports of another client, sorted by name: its outputs or its inputs.
  std::vector<std::string> PortsOf(const std::string& client, bool outputs) const;
  // Waits until `client` has at least `count` such ports; false on time-out.
  bool WaitForPorts(const std::string& client, bool outputs, size_t count, int timeoutMs) const;
  bool Connect(const std::string& source, const std::string& destination);

  // Capture runs from StartCapture until StopCapture or a full buffer.
  void StartCapture();
  void StopCapture();
  int64_t CapturedFrames() const;
  std::vector<float> Captured(int input) const;  // the first CapturedFrames() samples

  int64_t Cycles() const;  // process callbacks so far
  int64_t Xruns() const;   // the server's xrun notifications so far

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace zonda::test
