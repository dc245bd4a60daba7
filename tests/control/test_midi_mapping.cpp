// The MIDI mapping on the real action tables: the controller's fixed layout
// (knobs, buttons, jog wheels, search, scratch, line inputs), learned notes
// and controllers on every channel, the input ring's filter and overflow,
// and the shortcuts file's round trip.
#include <gtest/gtest.h>

#include <fstream>

#include "control/MidiMapping.h"
#include "control/MidiPorts.h"
#include "control/ShortcutsFile.h"
#include "skin/ActionTables.h"
#include "tests/support/TestFiles.h"

namespace zonda::test {
namespace {

struct TCalls {
  std::vector<std::string> log;
  bool lineIn[2] = {false, false};
};

TMidiDeckHooks Hooks(TCalls& c) {
  TMidiDeckHooks h;
  h.Search = [&c](int d, bool forward, bool press) {
    c.log.push_back("search " + std::to_string(d) + (forward ? " next " : " prev ") + (press ? "down" : "up"));
  };
  h.ToggleScratch = [&c](int d) { c.log.push_back("scratch " + std::to_string(d)); };
  h.Jog = [&c](int d, bool backwards) { c.log.push_back("jog " + std::to_string(d) + (backwards ? " back" : " fwd")); };
  h.ToggleLineIn = [&c](int d) {
    c.lineIn[d] = !c.lineIn[d];
    return c.lineIn[d];
  };
  return h;
}

TMidiEvent Msg(int status, int d1, int d2) { return {uint8_t(status), uint8_t(d1), uint8_t(d2), 0}; }

TEST(MidiMapping, FixedLayoutOnEveryChannel) {
  TActionTables t;
  TCalls c;
  TMidiMapping map(t, Hooks(c));
  const struct { TMidiEvent e; const char* call; } table[] = {
      {Msg(0x90, 0, 100), "search 0 prev down"}, {Msg(0x80, 0, 0), "search 0 prev up"},
      {Msg(0x95, 1, 1), "search 0 next down"},   {Msg(0x95, 1, 0), "search 0 next up"},  // velocity 0 releases
      {Msg(0x9F, 6, 9), "search 1 prev down"},   {Msg(0x90, 7, 9), "search 1 next down"},
      {Msg(0x90, 17, 9), "scratch 0"},          {Msg(0x93, 25, 9), "scratch 1"},
      {Msg(0xB0, 19, 64), "jog 0 back"},        {Msg(0xB7, 19, 1), "jog 0 fwd"},
      {Msg(0xB0, 18, 65), "jog 1 fwd"},
  };
  for (const auto& row : table) {
    c.log.clear();
    map.Handle(row.e);
    ASSERT_EQ(c.log.size(), 1u) << row.call;
    EXPECT_EQ(c.log[0], row.call);
  }
  // The jog slider steps with wrap-around: back from 0 is 95.
  TSliderAction& jog = t.Slider(t.FindSliderAction("decka_jw"));
  jog.SetValue(0);
  map.Handle(Msg(0xB0, 19, 64));
  EXPECT_EQ(jog.Value(), 95);
  map.Handle(Msg(0xB0, 19, 1));
  EXPECT_EQ(jog.Value(), 0);
  // Line inputs toggle; other messages do nothing.
  map.Handle(Msg(0x90, 35, 1));
  map.Handle(Msg(0x90, 36, 1));
  EXPECT_TRUE(c.lineIn[0] && c.lineIn[1]);
  c.log.clear();
  map.Handle(Msg(0xE0, 0, 64));  // pitch bend
  map.Handle(Msg(0xA0, 0, 64));  // aftertouch
  EXPECT_TRUE(c.log.empty());
}

TEST(MidiMapping, AssignedKnobsDriveOnlyActionsWithoutTheirOwnController) {
  TActionTables t;
  TCalls c;
  TMidiMapping map(t, Hooks(c));
  TSliderAction& xf = t.Slider(t.FindSliderAction("crossfader"));
  map.AssignKnob(0, "crossfader");
  map.Handle(Msg(0xB0, 13, 0));
  EXPECT_EQ(xf.Value(), 127) << "the crossfader knob is inverted";
  map.Handle(Msg(0xB0, 13, 127));
  EXPECT_EQ(xf.Value(), 1);
  xf.MidiController = 40;  // learned a controller of its own: the knob leaves it alone
  map.Handle(Msg(0xB0, 13, 0));
  EXPECT_EQ(xf.Value(), 1);
  // A learned controller answers on its channel only when it learned one.
  xf.MidiChannel = 2;
  map.Handle(Msg(0xB3, 40, 0));
  EXPECT_EQ(xf.Value(), 1);
  map.Handle(Msg(0xB2, 40, 127));
  EXPECT_EQ(xf.Value(), 127);
  map.AssignKnob(1, "no action");
  EXPECT_EQ(map.AssignedKnob(1), -1);
}

TEST(MidiInputRing, FiltersClockAndSensingAndCountsOverflow) {
  TMidiInput in;
  int notified = 0;
  in.Notify = [&notified] { ++notified; };
  const uint8_t clock = 0xF8, sensing = 0xFE, note[3] = {0x90, 60, 100};
  in.Receive(&clock, 1, 0.0);
  in.Receive(&sensing, 1, 0.0);
  EXPECT_EQ(in.MessageCount(), 0);
  EXPECT_EQ(notified, 0);
  for (int k = 0; k < TMidiInput::kCapacity + 1; ++k) in.Receive(note, 3, 0.001);
  EXPECT_EQ(in.MessageCount(), TMidiInput::kCapacity);
  EXPECT_EQ(in.Overflows(), 1);
  const auto e = in.GetMidiEvent();
  ASSERT_TRUE(e.has_value());
  EXPECT_EQ(e->Status, 0x90);
  EXPECT_EQ(e->Data1, 60);
  EXPECT_EQ(e->Data2, 100);
  int n = 1;
  while (in.GetMidiEvent()) ++n;
  EXPECT_EQ(n, TMidiInput::kCapacity);
}

TEST(ShortcutsFile, RoundTripAndLoadingByName) {
  TempDir dir;
  TActionTables a;
  TButtonAction& play = a.Button(a.FindButtonAction("decka_play_pause"));
  play.Key = 65;
  play.KeyModifiers = 4;  // Ctrl
  play.MidiChannel = 3;
  play.MidiNote = 60;
  TSliderAction& pitch = a.Slider(a.FindSliderAction("decka_pitch"));
  pitch.DecreaseKey = 37;
  pitch.IncreaseKey = 39;
  pitch.IncreaseModifiers = 1;
  pitch.MidiController = 7;
  const std::string file = dir.file("s.xml");
  ASSERT_TRUE(SaveShortcuts(a, file));
  const std::vector<uint8_t> bytes = ReadAll(file);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\" ?>\r\n<!-- Zonda shortcuts -->\r\n<shortcuts targetversion=\"1\">\r\n", 0), 0u);
  EXPECT_NE(text.find("<shortcut action=\"decka_play_pause\" key=\"65\" ctrl=\"yes\" alt=\"no\" shift=\"no\" "
                      "midi_ch=\"3\" midi_note=\"60\" />\r\n"),
            std::string::npos);

  TActionTables b;
  ASSERT_TRUE(LoadShortcuts(b, file));
  const TButtonAction& p2 = b.Button(b.FindButtonAction("decka_play_pause"));
  EXPECT_EQ(p2.Key, 65);
  EXPECT_EQ(p2.KeyModifiers, 4);
  EXPECT_EQ(p2.MidiNote, 60);
  const TSliderAction& s2 = b.Slider(b.FindSliderAction("decka_pitch"));
  EXPECT_EQ(s2.DecreaseKey, 37);
  EXPECT_EQ(s2.IncreaseKey, 39);
  EXPECT_EQ(s2.IncreaseModifiers, 1);
  EXPECT_EQ(s2.MidiController, 7);

  // Written by hand: "YES" in any case, unknown names skipped, others kept.
  TActionTables c;
  c.Button(c.FindButtonAction("deckb_play_pause")).Key = 80;
  std::ofstream(dir.file("h.xml")) << "<?xml version=\"1.0\" ?>\n<shortcuts>\n"
                                      "<shortcut action=\"decka_play_pause\" key=\"65\" ctrl=\"YES\" />\n"
                                      "<shortcut action=\"no_such_action\" key=\"66\" />\n</shortcuts>\n";
  ASSERT_TRUE(LoadShortcuts(c, dir.file("h.xml")));
  EXPECT_EQ(c.Button(c.FindButtonAction("decka_play_pause")).Key, 65);
  EXPECT_EQ(c.Button(c.FindButtonAction("decka_play_pause")).KeyModifiers, 4);
  EXPECT_EQ(c.Button(c.FindButtonAction("deckb_play_pause")).Key, 80);
  EXPECT_FALSE(LoadShortcuts(c, dir.file("absent.xml")));

  // What is learned on a port has that port's own file: any name becomes a safe file name.
  EXPECT_EQ(PortShortcutsFile("/x/shortcuts", "jack:system:midi_capture_1"),
            "/x/shortcuts/port-jack_system_midi_capture_1.xml");
  EXPECT_EQ(PortShortcutsFile("/x", "alsa:../ZC-2000 MIDI 1 24:0"), "/x/port-alsa____ZC-2000_MIDI_1_24_0.xml");
}

}  // namespace
}  // namespace zonda::test
