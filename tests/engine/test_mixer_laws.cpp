// The mixer controls' laws: crossfader table, curve and cut mode, overrides
// and lamps, faders, gain, equaliser with kills, pre-listen, headphone modes,
// talk-over and on-air, meter levels.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/MixerLaws.h"

namespace zonda {
namespace {

double Db(double gain) { return 20 * std::log10(gain); }

// Curve-mode table entries worked by hand from the crossfader table rule
// (entry i = -(91^((i - c)/(127 - c)) - 1) dB from entry c on, 0 dB before),
// evaluated with bc -l:
//   curve 60: 91^(3/67) - 1 = 0.223822043073, 91^(4/67) - 1 = 0.309054400863,
//             91^(8/67) - 1 = 0.713623424419, 91^(40/67) - 1 = 13.776682796338
//   curve 50: 91^(13/77) - 1 = 1.141643838346, 91^(14/77) - 1 = 1.270854685151,
//             91^(27/77) - 1 = 3.863361944232, 91^(28/77) - 1 = 4.156781001070
constexpr double kCurve60Entry63 = -0.223822043073;
constexpr double kCurve60Entry64 = -0.309054400863;
constexpr double kCurve60Entry68 = -0.713623424419;
constexpr double kCurve60Entry100 = -13.776682796338;
constexpr double kCurve50Entry63 = -1.141643838346;
constexpr double kCurve50Entry64 = -1.270854685151;
constexpr double kCurve50Entry77 = -3.863361944232;
constexpr double kCurve50Entry78 = -4.156781001070;

TEST(MixerLaws, CrossfaderCurveTable) {
  struct Case {
    int curve, position;
    double deckADb, deckBDb;  // deck A reads entry v, deck B entry 127 - v
  };
  const Case cases[] = {
      {60, 0, 0.0, -90.0},                          // the worked example: curve 60 at 0
      {60, 59, 0.0, kCurve60Entry68},               // last flat position of deck A
      {60, 63, kCurve60Entry63, kCurve60Entry64},
      {60, 68, kCurve60Entry68, 0.0},               // first flat position of deck B
      {60, 127, -90.0, 0.0},
      {50, 49, 0.0, kCurve50Entry78},
      {50, 50, 0.0, kCurve50Entry77},               // entry c is -(91^0 - 1) = 0 dB
      {50, 78, kCurve50Entry78, 0.0},
      {120, 63, 0.0, 0.0},                          // both flat in the middle
      {120, 0, 0.0, -90.0},                         // 91^(7/7) - 1 = 90
      {10, 0, 0.0, -90.0},                          // curve limited to 40
      {60, -5, 0.0, -90.0},                         // position limited to 0..127
      {60, 300, -90.0, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "curve " << c.curve << " at " << c.position);
    TCrossfaderState state;
    state.curve = c.curve;
    const TCrossfaderLaw law = CrossfaderLaw(state, c.position, {}, {});
    EXPECT_FALSE(state.dirty);
    EXPECT_NEAR(law.deckADb, c.deckADb, 1e-9);
    EXPECT_NEAR(law.deckBDb, c.deckBDb, 1e-9);
  }
  // The flat ranges of the worked examples: curve 50 keeps deck A at 0 dB for
  // 0..49 and deck B for 78..127, curve 60 for 0..59 and 68..127; every entry
  // from the start of the curve on falls, down to -90 dB at the far end.
  struct Flat {
    int curve, lastFlatA, firstFlatB;
  };
  for (const Flat f : {Flat{50, 49, 78}, Flat{60, 59, 68}}) {
    SCOPED_TRACE(testing::Message() << "curve " << f.curve);
    TCrossfaderState state;
    state.curve = f.curve;
    for (int v = 0; v <= f.lastFlatA; ++v) EXPECT_EQ(CrossfaderLaw(state, v, {}, {}).deckADb, 0.0) << v;
    for (int v = f.firstFlatB; v <= 127; ++v) EXPECT_EQ(CrossfaderLaw(state, v, {}, {}).deckBDb, 0.0) << v;
    double previous = 0.0;
    for (int v = f.curve + 1; v <= 127; ++v) {
      const double a = CrossfaderLaw(state, v, {}, {}).deckADb;
      EXPECT_LT(a, previous) << v;
      previous = a;
    }
    EXPECT_NEAR(previous, -90.0, 1e-9);
  }
  EXPECT_NEAR(BuildCrossfaderTable(false, 40)[127], -90.0, 1e-9);
}

TEST(MixerLaws, CutModeNeverHasBothDecksAudible) {
  TCrossfaderState state;
  state.cutMode = true;
  TCrossfaderLaw at63 = CrossfaderLaw(state, 63, {}, {});
  EXPECT_EQ(at63.deckADb, 0.0);
  EXPECT_EQ(at63.deckBDb, -130.0);
  EXPECT_NEAR(Db(MixerGainFromDb(at63.deckBDb)), -90.309, 1e-3);  // limited to 1/32767
  TCrossfaderLaw at64 = CrossfaderLaw(state, 64, {}, {});
  EXPECT_EQ(at64.deckADb, -130.0);
  EXPECT_EQ(at64.deckBDb, 0.0);
  for (int v = 0; v < 128; ++v) {
    const TCrossfaderLaw law = CrossfaderLaw(state, v, {}, {});
    EXPECT_NE(law.deckAInMaster, law.deckBInMaster) << v;
  }
  // A settings change takes effect once the dialog marks the table dirty.
  state.cutMode = false;
  state.curve = 60;
  EXPECT_EQ(CrossfaderLaw(state, 100, {}, {}).deckBDb, 0.0);
  state.dirty = true;
  EXPECT_NEAR(CrossfaderLaw(state, 100, {}, {}).deckBDb, 0.0, 1e-12);
  EXPECT_NEAR(CrossfaderLaw(state, 100, {}, {}).deckADb, kCurve60Entry100, 1e-9);
}

TEST(MixerLaws, MuteAndBoostOverrideTheCrossfaderAndDriveTheLamps) {
  struct Case {
    int position;
    TDeckOverride a, b;
    double aDb, bDb;
    bool aLamp, bLamp;
  };
  const Case cases[] = {  // the default curve 50
      {63, {}, {}, kCurve50Entry63, kCurve50Entry64, true, true},
      {63, {true, false}, {}, -90.0, kCurve50Entry64, false, true},
      {63, {true, true}, {}, -90.0, kCurve50Entry64, false, true},  // mute wins
      {20, {}, {false, true}, 0.0, 4.0, true, true},
      {0, {false, true}, {}, 4.0, -90.0, true, false},
      {127, {false, true}, {false, true}, 4.0, 4.0, true, true},            // boost beats the far end
      {127, {}, {true, false}, -90.0, -90.0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    TCrossfaderState state;
    const TCrossfaderLaw law = CrossfaderLaw(state, c.position, c.a, c.b);
    EXPECT_NEAR(law.deckADb, c.aDb, 1e-9);
    EXPECT_NEAR(law.deckBDb, c.bDb, 1e-9);
    EXPECT_EQ(law.deckAInMaster, c.aLamp);
    EXPECT_EQ(law.deckBInMaster, c.bLamp);
  }
  // The lamps light above -70 dB. With curve 50, entry 122 is
  // -(91^(72/77) - 1) = -66.894 dB and entry 123 is -(91^(73/77) - 1) = -70.990 dB
  // (bc -l): deck A's lamp is on up to 122, deck B's (entry 127 - v) from 5.
  TCrossfaderState state;
  for (int v = 0; v < 128; ++v) {
    const TCrossfaderLaw law = CrossfaderLaw(state, v, {}, {});
    EXPECT_EQ(law.deckAInMaster, v <= 122) << v;
    EXPECT_EQ(law.deckBInMaster, v >= 5) << v;
  }
}

TEST(MixerLaws, ChannelFaderTrimAndEqualiser) {
  EXPECT_EQ(ChannelFaderDb(127), 0.0);
  EXPECT_NEAR(ChannelFaderDb(1), -86.8, 0.05);
  EXPECT_EQ(ChannelFaderDb(0), -318.0);
  EXPECT_DOUBLE_EQ(MixerGainFromDb(ChannelFaderDb(0)), 1.0 / 32767.0);
  EXPECT_NEAR(ChannelFaderDb(64), -8.371474650556, 1e-9);  // -(91^(63/127) - 1), bc -l
  EXPECT_EQ(ChannelFaderDb(-3), -318.0);
  EXPECT_EQ(ChannelFaderDb(500), 0.0);
  for (int a = 2; a <= 127; ++a) EXPECT_GT(ChannelFaderDb(a), ChannelFaderDb(a - 1));

  EXPECT_DOUBLE_EQ(MixerGainFromDb(0), 1.0);
  EXPECT_NEAR(Db(MixerGainFromDb(-6)), -6.0, 1e-12);
  EXPECT_DOUBLE_EQ(MixerGainFromDb(NAN), 1.0 / 32767.0);
  EXPECT_NEAR(Db(TrimFromGainDb(12)), 12.0, 1e-12);
  EXPECT_NEAR(Db(TrimFromGainDb(-12)), -12.0, 1e-12);
  EXPECT_NEAR(Db(TrimFromGainDb(40)), 12.0, 1e-12);
  EXPECT_DOUBLE_EQ(TrimFromGainDb(NAN), 1.0);

  struct Eq {
    int knob;
    bool killed;
    double dB;
  };
  const Eq eq[] = {{-12, false, -36}, {-1, false, -3}, {0, false, 0}, {5, false, 5}, {12, false, 12},
                   {12, true, -80},   {-12, true, -80}, {0, true, -80}, {-20, false, -36}, {20, false, 12}};
  for (const Eq& e : eq) EXPECT_EQ(EqualiserBandDb(e.knob, e.killed), e.dB) << e.knob << " " << e.killed;

  EXPECT_EQ(KillLampNumber(0, TEqBand::Low), 24);
  EXPECT_EQ(KillLampNumber(0, TEqBand::Mid), 23);
  EXPECT_EQ(KillLampNumber(0, TEqBand::High), 22);
  EXPECT_EQ(KillLampNumber(1, TEqBand::Low), 16);
  EXPECT_EQ(KillLampNumber(1, TEqBand::Mid), 15);
  EXPECT_EQ(KillLampNumber(1, TEqBand::High), 14);
}

TEST(MixerLaws, PreListenMix) {
  struct Case {
    int v;
    double cueA, cueB;
  };
  const Case cases[] = {{-100, 1, 0}, {-98, 1, 0},    {-97, 1, 0},    {-96, 1, 0.04}, {-50, 1, 0.5}, {0, 1, 1},
                        {50, 0.5, 1}, {96, 0.04, 1},  {98, 0, 1},     {100, 0, 1},    {-400, 1, 0},  {400, 0, 1}};
  for (const Case& c : cases) {
    const TCueLevels l = PreListenLaw(c.v);
    EXPECT_NEAR(l.cueA, c.cueA, 1e-12) << c.v;
    EXPECT_NEAR(l.cueB, c.cueB, 1e-12) << c.v;
  }
}

TEST(MixerLaws, HeadphoneSplitAndMasterModes) {
  // Pressed and released at once: split mode.
  TPhonesState s;
  PhonesSplitClick(s, true);
  PhonesTick(s);
  PhonesSplitUnclick(s);
  for (int i = 0; i < 20; ++i) PhonesTick(s);
  EXPECT_TRUE(s.split);
  EXPECT_FALSE(s.master);
  EXPECT_TRUE(PhonesLamp(s, 1) && PhonesLamp(s, 2));

  // Held: still split after 8 ticks, master from the ninth.
  TPhonesState h;
  PhonesSplitClick(h, true);
  for (int i = 0; i < 8; ++i) PhonesTick(h);
  EXPECT_TRUE(h.split);
  EXPECT_FALSE(h.master);
  PhonesTick(h);
  EXPECT_FALSE(h.split);
  EXPECT_TRUE(h.master);
  EXPECT_EQ(h.splitHoldTicks, -1);
  PhonesSplitUnclick(h);
  EXPECT_TRUE(h.master);
  EXPECT_TRUE(PhonesLamp(h, 3));  // blinking: every third tick
  EXPECT_FALSE(PhonesLamp(h, 4));
  EXPECT_FALSE(PhonesLamp(h, 5));
  EXPECT_TRUE(PhonesLamp(h, 6));

  // Another press (the switch goes off): back to the pre-listen mix.
  PhonesSplitClick(h, false);
  PhonesSplitUnclick(h);
  EXPECT_FALSE(h.split);
  EXPECT_FALSE(h.master);
  EXPECT_FALSE(PhonesLamp(h, 3));
}

TEST(MixerLaws, TalkOverAndOnAir) {
  EXPECT_NEAR(Db(TalkGainFor(true)), -12.0, 1e-12);
  EXPECT_EQ(TalkGainFor(false), 1.0);
  EXPECT_EQ(MicGainFor(true), 1.0);
  EXPECT_EQ(MicGainFor(false), 0.0);
  EXPECT_TRUE(OnAirSelectsLineA(true, false));
  EXPECT_FALSE(OnAirSelectsLineA(true, true));
  EXPECT_FALSE(OnAirSelectsLineA(false, false));
  EXPECT_EQ(kOnAirLamp, 7);
  EXPECT_EQ(kTalkOverLamp, 8);
}

TEST(MixerLaws, MeterLevels) {
  EXPECT_EQ(MeasureLevels(nullptr, 0).left, -96.0);
  std::vector<int16_t> silence(512, 0);
  EXPECT_EQ(MeasureLevels(silence.data(), 0).right, -96.0);
  EXPECT_EQ(MeasureLevels(silence.data(), 1024).left, -96.0);
  EXPECT_EQ(MeasureLevels(silence.data(), 1024).right, -96.0);
  std::vector<int16_t> pcm;
  for (int i = 0; i < 1000; ++i) {
    pcm.push_back(i % 2 ? 32767 : -32767);  // full-scale square left
    pcm.push_back(0);
  }
  pcm[1] = 3277;  // one sample on the right
  const TStereoDb l = MeasureLevels(pcm.data(), int32_t(pcm.size() * 2));
  EXPECT_NEAR(l.left, 0.0, 1e-9);
  // 3277 / 32767 is -19.9992 dB; one such sample in 1000 frames takes 10 log10(1000) = 30 dB off.
  EXPECT_NEAR(l.right, -49.9992, 1e-4);
}

}  // namespace
}  // namespace zonda
