#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "skin/ActionTables.h"
#include "tests/skin/FakeControls.h"

namespace zonda {
namespace {

using test::FakeBeatDisplay;
using test::FakeButton;
using test::FakeSlider;
using test::FakeText;

TEST(ActionTables, CountsOrderAndLookups) {
  TActionTables t;
  EXPECT_EQ(t.Buttons().size(), 136u);
  EXPECT_EQ(t.Sliders().size(), 29u);
  EXPECT_EQ(t.BeatDisplays().size(), 2u);
  EXPECT_EQ(t.Texts().size(), 143u);

  struct Row {
    int index;
    const char* name;
  };
  for (const Row& r : {Row{0, "minimize"}, Row{23, "about"}, Row{27, "onair"}, Row{28, "decka_sync"},
                       Row{38, "decka_play_pause"}, Row{81, "decka_fx_on4"}, Row{82, "deckb_sync"},
                       Row{135, "deckb_fx_on4"}}) {
    EXPECT_EQ(t.Button(r.index).Name(), r.name);
    EXPECT_EQ(t.FindButtonAction(r.name), r.index);
  }
  for (const Row& r : {Row{0, "preview"}, Row{4, "decka_pitch"}, Row{15, "decka_jw"}, Row{16, "deckb_volume"},
                       Row{28, "deckb_jw"}}) {
    EXPECT_EQ(t.Slider(r.index).Name(), r.name);
    EXPECT_EQ(t.FindSliderAction(r.name), r.index);
  }
  for (const Row& r : {Row{0, "time"}, Row{4, "decka_pitch"}, Row{24, "deckb_analogin"}, Row{25, "sl_new"},
                       Row{39, "sl_next"}, Row{47, "sl_pitch_a"}, Row{64, "sl_cuepoints_b"}, Row{68, "sl_search"},
                       Row{71, "sl_next_a"}, Row{96, "sl_fx_on3_a"}, Row{142, "sl_fx_mix4_b"}}) {
    EXPECT_EQ(t.Text(r.index).Name(), r.name);
    EXPECT_EQ(t.FindTextAction(r.name), r.index);
  }
  EXPECT_EQ(t.FindBeatDisplayAction("deckb"), 1);
  // Case-sensitive, per kind, -1 for unknown names.
  EXPECT_EQ(t.FindButtonAction("Minimize"), -1);
  EXPECT_EQ(t.FindSliderAction("decka_play_pause"), -1);
  EXPECT_EQ(t.FindTextAction(""), -1);

  auto unique = [](const auto& actions) {
    std::set<std::string> names;
    for (const auto& a : actions) names.insert(a.Name());
    return names.size() == actions.size();
  };
  EXPECT_TRUE(unique(t.Buttons()));
  EXPECT_TRUE(unique(t.Sliders()));
  EXPECT_TRUE(unique(t.Texts()));
}

TEST(ActionTables, DefaultsRangesTagsAndFlags) {
  TActionTables t;
  // Only the two "in_master" buttons start lit; nothing starts selected.
  for (const TButtonAction& a : t.Buttons()) {
    EXPECT_EQ(a.Lit(), a.Name() == "decka_in_master" || a.Name() == "deckb_in_master") << a.Name();
    EXPECT_FALSE(a.Selected());
  }
  const TSliderAction& pitch = t.Slider(t.FindSliderAction("deckb_pitch"));
  EXPECT_EQ(pitch.Minimum(), -9900);
  EXPECT_EQ(pitch.Maximum(), 9900);
  EXPECT_EQ(pitch.StepDivisor(), 10);
  EXPECT_EQ(t.Slider(1).Value(), 63);  // crossfader in the middle
  for (const TSliderAction& a : t.Sliders()) {
    EXPECT_EQ(a.FineDrag(), a.Name().ends_with("cutoff_filter")) << a.Name();
  }
  // Effect slots 1-4 on deck A, 5-8 on deck B; loop lengths in half beats.
  EXPECT_EQ(t.Button(t.FindButtonAction("decka_fx_load3")).Tag(), 3);
  EXPECT_EQ(t.Button(t.FindButtonAction("deckb_fx_load3")).Tag(), 7);
  EXPECT_EQ(t.Slider(t.FindSliderAction("deckb_fx_mix1")).Tag(), 5);
  EXPECT_EQ(t.Text(t.FindTextAction("deckb_fx_name4")).Tag(), 8);
  EXPECT_EQ(t.Button(t.FindButtonAction("deckb_loop_16")).Tag(), 32);
  EXPECT_EQ(t.Button(t.FindButtonAction("deckb_cue8")).Tag(), 8);
  EXPECT_EQ(t.Text(t.FindTextAction("deckb_songname")).Text(), "DECK EMPTY");
  EXPECT_TRUE(t.Text(t.FindTextAction("deckb_songname")).Ellipsis());
  EXPECT_EQ(t.Button(t.FindButtonAction("deckb_sync")).HintText(), "Beat-Match Deck B with Deck A");
}

TEST(ActionTables, HandlerSlotsAreFilledByName) {
  TActionTables t;
  const std::vector<std::string> empty = t.EmptyHandlerSlots();
  EXPECT_NE(std::find(empty.begin(), empty.end(), "Play_but_BClick"), empty.end());
  EXPECT_NE(std::find(empty.begin(), empty.end(), "KAVdispAMOVE"), empty.end());
  TButtonAction& random = t.Button(t.FindButtonAction("random"));
  EXPECT_FALSE(random.Handlers.OnLeftDown.Wanted());

  TButtonAction& play = t.Button(t.FindButtonAction("decka_play_pause"));
  EXPECT_TRUE(play.Handlers.OnLeftDown.IsEmpty());
  play.Handlers.OnLeftDown(0);  // an empty slot does nothing

  std::vector<int> tags;
  // EditFX: the four edit buttons of both decks, left and right.
  EXPECT_EQ(t.FillHandler("EditFX", [&](int tag) { tags.push_back(tag); }), 16);
  // EditBPMA: the button and the BPM read-out, left and right each.
  EXPECT_EQ(t.FillHandler("EditBPMA", [&](int) {}), 4);
  EXPECT_EQ(t.FillHandler("DroppedOnB", [&](int, int) {}), 1);
  EXPECT_EQ(t.FillHandler("NoSuchHandler", [&](int) {}), 0);
  EXPECT_EQ(t.FillHandler("DroppedOnB", [&](int) {}), 0);  // point slots take (x, y)

  TButtonAction& edit = t.Button(t.FindButtonAction("deckb_fx_edit2"));
  EXPECT_FALSE(edit.Handlers.OnRightDown.IsEmpty());
  edit.Handlers.OnRightDown(edit.Tag());
  EXPECT_EQ(tags, std::vector<int>{6});

  // Filling every expected name leaves no empty slot.
  for (const std::string& name : t.EmptyHandlerSlots()) {
    t.FillHandler(name, [](int) {});
    t.FillHandler(name, [](int, int) {});
  }
  EXPECT_TRUE(t.EmptyHandlerSlots().empty());
}

TEST(SliderAction, KeyboardStepRule) {
  TActionTables t;
  struct Case {
    const char* name;
    int step;
  };
  // Pitch: 19800 / 400 = 49.5, half to even gives 50; EQ: 24 / 80 = 0.3 gives 0, so 1.
  for (const Case& c : {Case{"decka_pitch", 50}, Case{"decka_eq_low", 1}, Case{"crossfader", 2},
                        Case{"decka_pos", 1}, Case{"decka_fx_mix2", 1}, Case{"cue_pgm_mix", 2}}) {
    EXPECT_EQ(t.Slider(t.FindSliderAction(c.name)).KeyStep(), c.step) << c.name;
  }
  TSliderAction& eq = t.Slider(t.FindSliderAction("decka_eq_high"));
  eq.DecreaseKey = 'J';
  eq.IncreaseKey = 'K';
  eq.IncreaseModifiers = TButtonAction::kCtrl;
  EXPECT_FALSE(eq.KeyIncrease('K', 0));  // modifiers must match
  EXPECT_TRUE(eq.KeyIncrease('K', TButtonAction::kCtrl));
  EXPECT_EQ(eq.Value(), 1);
  EXPECT_FALSE(eq.KeyDecrease('K', 0));
  EXPECT_FALSE(eq.KeyDecrease(0, 0));
  for (int i = 0; i < 30; ++i) EXPECT_TRUE(eq.KeyDecrease('J', 0));
  EXPECT_EQ(eq.Value(), -12);  // stays at the minimum
}

TEST(SliderAction, MidiControllerValueRule) {
  TActionTables t;
  TSliderAction& x = t.Slider(t.FindSliderAction("crossfader"));
  EXPECT_FALSE(x.MidiControl(0, 7, false, 0));  // no controller assigned
  x.MidiController = 7;
  struct Case {
    int value;
    bool inverted;
    int expected;
  };
  for (const Case& c : {Case{0, false, 1}, Case{127, false, 127}, Case{63, false, 64} /* 63.5, half to even */, Case{127, true, 1},
                        Case{0, true, 127}, Case{200, false, 127}}) {
    EXPECT_TRUE(x.MidiControl(3, 7, c.inverted, c.value));
    EXPECT_EQ(x.Value(), c.expected) << c.value << " " << c.inverted;
  }
  x.MidiChannel = 2;
  EXPECT_FALSE(x.MidiControl(3, 7, false, 0));
  EXPECT_FALSE(x.MidiControl(2, 8, false, 0));
  EXPECT_TRUE(x.MidiControl(2, 7, false, 64));
  EXPECT_EQ(x.Value(), 64);
  // Pitch: 0 gives minimum + range / 128, 127 the maximum.
  TSliderAction& pitch = t.Slider(t.FindSliderAction("decka_pitch"));
  pitch.MidiController = 1;
  pitch.MidiControl(0, 1, false, 0);
  EXPECT_EQ(pitch.Value(), -9900 + 155);  // 19800 / 128 = 154.7
  pitch.MidiControl(0, 1, false, 127);
  EXPECT_EQ(pitch.Value(), 9900);
}

TEST(SliderAction, ChangeWhileUnboundIsShownByTheNextControlWithoutHandlers) {
  TActionTables t;
  int calls = 0;
  t.FillHandler("Pitch_Mod_AChange", [&](int) { ++calls; });
  t.FillHandler("pitch_ATrack", [&](int) { ++calls; });
  TSliderAction& pitch = t.Slider(t.FindSliderAction("decka_pitch"));
  pitch.MidiController = 20;

  // First skin: no pitch slider. The knob moves; nothing is called.
  EXPECT_TRUE(pitch.MidiControl(0, 20, false, 95));
  const int moved = pitch.Value();
  EXPECT_GT(moved, 0);
  EXPECT_EQ(calls, 0);

  // Second skin has one: it shows the value, and binding called nothing.
  FakeSlider slider;
  pitch.Bind(3, slider);
  EXPECT_EQ(pitch.ControlIndex(), 3);
  EXPECT_EQ(slider.value, moved);
  EXPECT_EQ(slider.minimum, -9900);
  EXPECT_EQ(slider.maximum, 9900);
  EXPECT_EQ(calls, 0);

  // Bound: the control clamps and fires OnChange.
  pitch.SetValue(20000);
  EXPECT_EQ(pitch.Value(), 9900);
  EXPECT_EQ(calls, 1);

  // The user's last state goes back into the action when the skin goes.
  slider.value = -300;
  slider.tag = 9;
  slider.fine = true;
  slider.maximum = 2400;
  pitch.Unbind();
  EXPECT_FALSE(pitch.IsBound());
  EXPECT_EQ(pitch.ControlIndex(), -1);
  EXPECT_EQ(pitch.Value(), -300);
  EXPECT_EQ(pitch.Tag(), 9);
  EXPECT_TRUE(pitch.FineDrag());
  EXPECT_EQ(pitch.Maximum(), 2400);
  pitch.SetValue(5);  // unbound: stored only
  EXPECT_EQ(slider.value, -300);
  EXPECT_EQ(calls, 1);
}

TEST(ButtonAction, ShortcutMatchingAndBinding) {
  TActionTables t;
  int downs = 0, ups = 0;
  t.FillHandler("Play_but_AClick", [&](int) { ++downs; });
  TButtonAction& play = t.Button(t.FindButtonAction("decka_play_pause"));
  play.MidiNote = 60;
  play.Key = 'P';
  play.KeyModifiers = TButtonAction::kShift;

  // Unbound: consumed, nothing happens.
  EXPECT_TRUE(play.MidiNoteOn(5, 60));
  EXPECT_FALSE(play.MidiNoteOn(5, 61));
  EXPECT_TRUE(play.KeyDown('P', TButtonAction::kShift));
  EXPECT_FALSE(play.KeyDown('P', 0));
  EXPECT_TRUE(play.KeyUp('P'));
  EXPECT_EQ(downs, 0);

  FakeButton button;
  play.SetSelected(true);
  play.Bind(7, button);
  EXPECT_TRUE(button.selected);
  EXPECT_TRUE(play.MidiNoteOn(9, 60));
  EXPECT_TRUE(play.MidiNoteOff(9, 60));
  EXPECT_TRUE(play.KeyDown('P', TButtonAction::kShift));
  EXPECT_TRUE(play.KeyUp('P'));
  EXPECT_EQ(button.presses, 2);
  EXPECT_EQ(button.releases, 2);
  EXPECT_EQ(downs, 2);
  (void)ups;

  play.MidiChannel = 4;
  EXPECT_FALSE(play.MidiNoteOn(9, 60));
  EXPECT_TRUE(play.MidiNoteOn(4, 60));
  EXPECT_FALSE(play.Selected());  // three presses flipped it three times
  // A controller button asks with note -1: it presses only an action
  // without a note of its own.
  EXPECT_TRUE(TButtonAction(0, "x", "", nullptr).MidiNoteOn(-1, -1));
  EXPECT_FALSE(play.MidiNoteOn(-1, -1));

  // Unbinding keeps the control's last state.
  button.lit = true;
  button.tag = 12;
  play.Unbind();
  EXPECT_FALSE(play.Selected());
  EXPECT_TRUE(play.Lit());
  EXPECT_EQ(play.Tag(), 12);
}

TEST(ButtonAction, HintCarriesTheShortcutLine) {
  TActionTables t;
  t.SetHintWords("Shortcut:", "none");
  TButtonAction& cue = t.Button(t.FindButtonAction("decka_cue"));
  FakeButton button;
  cue.Bind(0, button);
  EXPECT_EQ(button.hint, "CUE or Set/Reset a CUE Point\r\n\r\nShortcut: none");
  cue.SetShortcutText("Ctrl + C");
  EXPECT_EQ(button.hint, "CUE or Set/Reset a CUE Point\r\n\r\nShortcut: Ctrl + C");
  cue.SetHintText("Cue");
  EXPECT_EQ(button.hint, "Cue\r\n\r\nShortcut: Ctrl + C");
  // New words reach bound hints when they are rebuilt.
  t.SetHintWords("Tastenkürzel:", "keines");
  EXPECT_EQ(button.hint, "Cue\r\n\r\nShortcut: Ctrl + C");
  t.RebuildHints();
  EXPECT_EQ(button.hint, "Cue\r\n\r\nTastenkürzel: Ctrl + C");

  TSliderAction& gain = t.Slider(t.FindSliderAction("deckb_gain"));
  FakeSlider slider;
  gain.Bind(0, slider);
  EXPECT_EQ(slider.hint, "Gain\r\n\r\nTastenkürzel: keines");

  // Text areas and beat displays show the hint alone.
  FakeText text;
  t.Text(t.FindTextAction("time")).Bind(0, text);
  EXPECT_EQ(text.hint, "Time");
  t.ClearHints();
  EXPECT_EQ(text.hint, "");
  EXPECT_EQ(button.hint, "\r\n\r\nTastenkürzel: Ctrl + C");
}

TEST(TextAndBeatDisplayActions, BindPushAndCopyBack) {
  TActionTables t;
  TTextAction& song = t.Text(t.FindTextAction("decka_songname"));
  FakeText text;
  song.Bind(2, text);
  EXPECT_EQ(text.text, "DECK EMPTY");
  EXPECT_TRUE(text.ellipsis);
  song.SetText("ARTIST - TITLE");
  EXPECT_EQ(text.text, "ARTIST - TITLE");
  text.text = "CHANGED";
  EXPECT_EQ(song.Text(), "CHANGED");
  t.UnbindAll();
  EXPECT_EQ(song.Text(), "CHANGED");
  EXPECT_EQ(song.ControlIndex(), -1);

  TBeatDisplayAction& display = t.BeatDisplay(0);
  std::vector<int> points;
  display.OnDisplayPoints = [&](int p) { points.push_back(p); };
  EXPECT_EQ(display.DisplayWidth(), 0);
  display.SetStandardWave(true);
  display.SetBeatDiff(-12);
  FakeBeatDisplay view;
  display.Bind(0, view);
  EXPECT_TRUE(view.standard);
  EXPECT_EQ(view.beatDiff, -12);
  EXPECT_EQ(display.DisplayLeft(), 10);
  EXPECT_EQ(display.DisplayHeight(), 60);
  const std::vector<int16_t> beats(1200, 0);
  display.SetDisplayData(beats);
  EXPECT_EQ(view.beats, 1200u);
  display.Unbind();
  display.Unbind();  // a second unbind reports nothing more
  EXPECT_EQ(points, (std::vector<int>{600, 100}));
  EXPECT_EQ(display.DisplayTop(), 0);
}

}  // namespace
}  // namespace zonda
