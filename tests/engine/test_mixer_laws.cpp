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

TEST(MixerLaws, CrossfaderCurveTable) {
  struct Case {
    int curve, position;
    double deckADb, deckBDb;
  };
  const Case cases[] = {
      {60, 0, 0.0, -90.0},     {60, 59, 0.0, -(std::pow(std::pow(91.0, 1.0 / 67), 8) - 1)},
      {60, 63, -(std::pow(std::pow(91.0, 1.0 / 67), 3) - 1), -(std::pow(std::pow(91.0, 1.0 / 67), 4) - 1)},
      {60, 68, -(std::pow(std::pow(91.0, 1.0 / 67), 8) - 1), 0.0},
      {60, 127, -90.0, 0.0},   {50, 49, 0.0, -(std::pow(std::pow(91.0, 1.0 / 77), 28) - 1)},
      {50, 50, 0.0, -(std::pow(std::pow(91.0, 1.0 / 77), 27) - 1)},
      {50, 78, -(std::pow(std::pow(91.0, 1.0 / 77), 28) - 1), 0.0},
      {120, 63, 0.0, 0.0},     {120, 0, 0.0, -90.0},
      {10, 0, 0.0, -90.0},     // curve limited to 40
      {60, -5, 0.0, -90.0},    // position limited to 0..127
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
  // Flat ranges with curve 60: deck A 0..59, deck B 68..127.
  const TCrossfaderTable t = BuildCrossfaderTable(false, 60);
  for (int i = 0; i < 128; ++i) {
    EXPECT_EQ(t[size_t(i)] == 0.0, i <= 60) << i;  // entry c itself is -(1 - 1) = 0
    if (i > 0) {
      EXPECT_LE(t[size_t(i)], t[size_t(i - 1)]);
    }
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
  EXPECT_NEAR(CrossfaderLaw(state, 100, {}, {}).deckADb, -(std::pow(std::pow(91.0, 1.0 / 67), 40) - 1), 1e-9);
}

TEST(MixerLaws, MuteAndBoostOverrideTheCrossfaderAndDriveTheLamps) {
  struct Case {
    int position;
    TDeckOverride a, b;
    double aDb, bDb;
    bool aLamp, bLamp;
  };
  const double x = std::pow(91.0, 1.0 / 77);
  const Case cases[] = {
      {63, {}, {}, -(std::pow(x, 13) - 1), -(std::pow(x, 14) - 1), true, true},
      {63, {true, false}, {}, -90.0, -(std::pow(x, 14) - 1), false, true},
      {63, {true, true}, {}, -90.0, -(std::pow(x, 14) - 1), false, true},  // mute wins
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
  // The lamp threshold is -70 dB, on the table's value.
  TCrossfaderState state;
  const TCrossfaderTable& t = (CrossfaderLaw(state, 0, {}, {}), state.table);
  for (int v = 0; v < 128; ++v) EXPECT_EQ(CrossfaderLaw(state, v, {}, {}).deckAInMaster, t[size_t(v)] > -70.0);
}

TEST(MixerLaws, ChannelFaderTrimAndEqualiser) {
  EXPECT_EQ(ChannelFaderDb(127), 0.0);
  EXPECT_NEAR(ChannelFaderDb(1), -86.8, 0.05);
  EXPECT_EQ(ChannelFaderDb(0), -318.0);
  EXPECT_DOUBLE_EQ(MixerGainFromDb(ChannelFaderDb(0)), 1.0 / 32767.0);
  EXPECT_NEAR(ChannelFaderDb(64), -(std::pow(91.0, 63.0 / 127) - 1), 1e-12);
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
  EXPECT_NEAR(l.right, 20 * std::log10(std::sqrt(3277.0 * 3277.0 / 1000) / 32767), 1e-9);
}

}  // namespace
}  // namespace zonda
