// MIDI through a real JACK server (the test script starts one on the dummy
// driver): a test client plays the controller, Zonda's ports connect to it
// by name, notes and controllers reach the mapping on the main thread, and
// the lamps come back to the client once per change.
#include <gtest/gtest.h>

#include <RtMidi.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <unistd.h>

#include "control/MidiMapping.h"
#include "control/MidiPorts.h"
#include "skin/ActionTables.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

template <class Pred>
bool Within(Pred pred, int ms = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

TEST(MidiJack, ControllerMessagesAndLampsThroughJack) {
  if (!std::getenv("ZONDA_JACK_RUNNING")) ZONDA_SKIP_OR_FAIL("no JACK server: ZONDA_JACK_RUNNING not set (./build.sh test starts one)");
  // The test client: the controller's output and input ports. Their names
  // are this run's own: a program started by another test on the same server
  // opens any port named like the controller.
  const std::string name = "midi-test-" + std::to_string(getpid());
  RtMidiOut controllerOut(RtMidi::UNIX_JACK, name);
  RtMidiIn controllerIn(RtMidi::UNIX_JACK, name);
  controllerOut.openVirtualPort(name + " out");
  controllerIn.openVirtualPort(name + " in");
  controllerIn.ignoreTypes(false, false, false);

  std::string inPort, outPort;
  ASSERT_TRUE(Within([&] {
    inPort = FindMidiPort(ListMidiInputs(), name + " out");
    outPort = FindMidiPort(ListMidiOutputs(), name + " in");
    return !inPort.empty() && !outPort.empty();
  })) << "the test client's ports are not listed";
  EXPECT_EQ(inPort.rfind("jack:", 0), 0u);

  TActionTables actions;
  std::vector<std::string> calls;
  TMidiDeckHooks hooks;
  hooks.ToggleScratch = [&calls](int d) { calls.push_back("scratch " + std::to_string(d)); };
  hooks.Jog = [&calls](int d, bool back) { calls.push_back("jog " + std::to_string(d) + (back ? " back" : " fwd")); };
  TMidiMapping map(actions, hooks);
  TMidiInput in;
  TMidiOutput out;
  std::atomic<int> notified{0};
  in.Notify = [&notified] { notified.fetch_add(1); };
  ASSERT_TRUE(in.Open(inPort));
  ASSERT_TRUE(out.Open(outPort));
  map.SetOutput(&out);
  // JACK connects the ports in its own time.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  // Active sensing and clock are dropped before the ring.
  const std::vector<unsigned char> sensing{0xFE}, clock{0xF8}, scratch{0x90, 17, 127}, jog{0xB0, 18, 64};
  TSliderAction& xf = actions.Slider(actions.FindSliderAction("crossfader"));
  xf.MidiController = 40;
  const std::vector<unsigned char> fader{0xB0, 40, 127};
  for (const auto* m : {&sensing, &clock, &scratch, &jog, &fader}) controllerOut.sendMessage(m);
  ASSERT_TRUE(Within([&] { return in.MessageCount() >= 3; })) << "no message arrived through JACK";
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(in.MessageCount(), 3);
  EXPECT_GE(notified.load(), 1);
  map.HandleAll(in, true);
  EXPECT_EQ(calls, (std::vector<std::string>{"scratch 0", "jog 1 back"}));
  EXPECT_EQ(xf.Value(), 127);

  // A lamp is sent once per change: on, on again (nothing), off.
  map.SetControllerLamp(7, true);
  map.SetControllerLamp(7, true);
  map.SetControllerLamp(7, false);
  std::vector<std::vector<unsigned char>> lamps;
  ASSERT_TRUE(Within([&] {
    std::vector<unsigned char> m;
    controllerIn.getMessage(&m);
    if (!m.empty()) lamps.push_back(m);
    return lamps.size() >= 2;
  }));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  for (std::vector<unsigned char> m; controllerIn.getMessage(&m), !m.empty();) lamps.push_back(m);
  ASSERT_EQ(lamps.size(), 2u);
  EXPECT_EQ(lamps[0], (std::vector<unsigned char>{0xB0, 7, 64}));
  EXPECT_EQ(lamps[1], (std::vector<unsigned char>{0xB0, 7, 0}));
  EXPECT_TRUE(map.LampState(7) == false);

  // The port goes away: opening it again fails cleanly; it is not listed.
  controllerOut.closePort();
  ASSERT_TRUE(Within([&] { return FindMidiPort(ListMidiInputs(), name + " out").empty(); }));
  TMidiInput again;
  EXPECT_FALSE(again.Open(inPort));
}

}  // namespace
}  // namespace zonda::test
