// TKAVMixer: start-up gate, gain ramps, crossfader and fader gains through the
// laws, talk-over and on-air, the three headphone modes and the preview, trim,
// effect-slot calls, meters, recording, and two real decks through the whole
// chain (filter, equaliser) checked by level and by tone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "dsp/FFTFilter.h"
#include "engine/Mixer.h"
#include "engine/MixerLaws.h"
#include "engine/Recorder.h"
#include "tests/engine/RenderDeckFixture.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

constexpr int32_t kBlock = 256;  // frames per device block in these tests

// A mixer whose decks play their line inputs: deck A = line A, deck B = line B,
// each a constant-left signal so the cut-off filters pass them bit-exact.
struct LineMixer {
  TKAVMixer mixer{TMixerDeck{}, TMixerDeck{}, nullptr};
  std::vector<int16_t> master = std::vector<int16_t>(2 * kBlock);
  std::vector<int16_t> monitor = std::vector<int16_t>(2 * kBlock);

  LineMixer() {
    mixer.Channels[0].Filter.SetCutoff(true, -1.0f);
    mixer.Channels[1].Filter.SetCutoff(true, -1.0f);
    mixer.SetSubBlocks(1);
    mixer.Start();
  }
  void Lines(int16_t al, int16_t ar, int16_t bl, int16_t br) {
    for (int32_t i = 0; i < kBlock; ++i) {
      mixer.LineArea(0)[2 * i] = al;
      mixer.LineArea(0)[2 * i + 1] = ar;
      mixer.LineArea(1)[2 * i] = bl;
      mixer.LineArea(1)[2 * i + 1] = br;
    }
  }
  void Block() {
    ASSERT_TRUE(mixer.MixBlock(master.data(), kBlock * 4));
    ASSERT_TRUE(mixer.ReadMonitor(monitor.data(), kBlock * 4));
  }
};

TEST(Mixer, NothingBeforeStartUpHasFinished) {
  TKAVMixer mixer(TMixerDeck{}, TMixerDeck{}, nullptr);
  EXPECT_EQ(mixer.Ready, 1);
  std::vector<int16_t> out(2 * kMixerAreaFrames + 2, 7);
  EXPECT_FALSE(mixer.MixBlock(out.data(), kBlock * 4));
  EXPECT_FALSE(mixer.ReadMonitor(out.data(), kBlock * 4));
  EXPECT_EQ(out[0], 7);
  mixer.Start();
  EXPECT_FALSE(mixer.MixBlock(out.data(), (kMixerAreaFrames + 1) * 4));  // larger than a work area
  EXPECT_FALSE(mixer.MixBlock(nullptr, kBlock * 4));
  EXPECT_FALSE(mixer.ReadMonitor(out.data(), kBlock * 4));             // nothing mixed yet
  EXPECT_TRUE(mixer.MixBlock(out.data(), kMixerAreaFrames * 4));
  EXPECT_EQ(out[0], 0);  // empty decks are silence
  EXPECT_TRUE(mixer.ReadMonitor(out.data(), kMixerAreaFrames * 4));
  EXPECT_EQ(mixer.LineArea(2), nullptr);
}

TEST(Mixer, FaderJumpsBecome147FrameRamps) {
  LineMixer m;
  m.mixer.Channels[0].LineIn = true;
  m.Lines(10000, 10000, 0, 0);
  m.Block();
  EXPECT_EQ(m.master[0], 10000);

  m.mixer.SetVolume(0, -6.0);  // 1.0 -> 10^(-6/20) = 0.501187233627
  m.Block();
  const double g = 0.501187233627;
  const double step = (g - 1.0) / 147;  // the ramp spreads a jump over 147 frames
  for (int32_t i = 0; i < kBlock; ++i) {
    const double gain = i < 146 ? 1.0 + step * (i + 1) : g;
    ASSERT_NEAR(m.master[2 * i], 10000 * gain, 1.0) << i;
  }
  EXPECT_EQ(m.master[2 * 146], 5012);  // 10000 x 0.5012 on the ramp's last frame
  EXPECT_NEAR(m.mixer.Channels[0].Current, g, 1e-12);
  EXPECT_EQ(m.mixer.Channels[0].Target.load(), m.mixer.Channels[0].Volume.load() * m.mixer.Channels[0].XfadeGain.load());
}

// The crossfader's worked examples, from the slider position to the gains the
// mixer applies and the master samples. Gains by hand: 0 dB is 1; -90 dB is
// 10^(-4.5) = 3.16227766e-5; -130 dB is held at the floor 1/32767 = 3.05185095e-5;
// +4 dB is 10^(0.2) = 1.58489319. Deck A's line carries 8000, deck B's 32767:
// 8000 x 1.58489319 = 12679.1 and 32767 x 3.16e-5 = 1.04, both round to what is listed.
TEST(Mixer, CrossfaderLawsReachTheMaster) {
  struct Case {
    const char* name;
    bool cut;
    int curve, position;
    TDeckOverride a, b;
    double gainA, gainB;
    int16_t masterA, masterB;
  };
  const double minus90 = 3.16227766e-5, floor = 3.05185095e-5, plus4 = 1.58489319;
  const Case cases[] = {
      {"curve 60 at 0", false, 60, 0, {}, {}, 1.0, minus90, 8000, 1},
      {"cut at 63", true, 50, 63, {}, {}, 1.0, floor, 8000, 1},
      {"cut at 64", true, 50, 64, {}, {}, floor, 1.0, 0, 32767},
      {"mute A", false, 50, 0, {true, false}, {}, minus90, minus90, 0, 1},
      {"boost A", false, 50, 127, {false, true}, {}, plus4, 1.0, 12679, 32767},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LineMixer m;
    m.mixer.Channels[0].LineIn = true;
    m.mixer.Channels[1].LineIn = true;
    TCrossfaderState x;
    x.cutMode = c.cut;
    x.curve = c.curve;
    const TCrossfaderLaw law = CrossfaderLaw(x, c.position, c.a, c.b);
    m.mixer.SetCrossfadeGain(0, law.deckADb);
    m.mixer.SetCrossfadeGain(1, law.deckBDb);
    m.Lines(8000, 8000, 0, 0);
    m.Block();
    m.Block();
    EXPECT_NEAR(m.mixer.Channels[0].Current, c.gainA, c.gainA * 1e-8);
    EXPECT_NEAR(m.mixer.Channels[1].Current, c.gainB, c.gainB * 1e-8);
    EXPECT_EQ(m.master[2 * 200], c.masterA);
    m.Lines(0, 0, 32767, 32767);
    m.Block();
    EXPECT_EQ(m.master[2 * 200 + 1], c.masterB);
  }
  // Channel fader at 0: the gain floor, whatever the crossfader.
  LineMixer m;
  m.mixer.Channels[0].LineIn = true;
  m.mixer.SetVolume(0, ChannelFaderDb(0));
  m.Lines(32767, 32767, 0, 0);
  m.Block();
  m.Block();
  EXPECT_EQ(m.master[2 * 100], 1);
}

TEST(Mixer, TalkOverAndOnAir) {
  LineMixer m;
  m.mixer.Channels[1].LineIn = true;  // deck A is empty: line A is the microphone
  m.Lines(3000, -3000, 12000, 12000);
  m.Block();
  EXPECT_EQ(m.master[0], 12000);  // microphone off the air
  m.mixer.OnAir = true;
  m.Block();
  EXPECT_EQ(m.master[0], 15000);
  EXPECT_EQ(m.master[1], 9000);
  m.mixer.TalkOver = true;
  m.Block();
  EXPECT_EQ(m.master[0], 3014 + 3000);  // 12000 x 10^(-12/20) = 3014.26, then the microphone
  EXPECT_NEAR(20 * std::log10(m.mixer.TalkGain), -12.0, 1e-12);
  m.Lines(-30000, -30000, -30000, -30000);
  m.mixer.TalkOver = false;
  m.Block();
  EXPECT_EQ(m.master[0], -32768);  // limited
  // Deck A playing its line input: line A is not a microphone any more.
  m.mixer.Channels[0].LineIn = true;
  m.Lines(3000, 3000, 12000, 12000);
  m.Block();
  EXPECT_EQ(m.master[0], 15000);  // deck A (line A) + deck B, no extra microphone
}

class FixedPreview final : public TMixerPreviewSource {
 public:
  void ReadPreview(int16_t* destination, int32_t bytes) noexcept override {
    for (int32_t i = 0; i < bytes / 2; ++i) destination[i] = static_cast<int16_t>(i % 2 ? -1200 : 1200);
  }
};

TEST(Mixer, HeadphoneModesAndPreview) {
  LineMixer m;
  m.mixer.Channels[0].LineIn = true;
  m.mixer.Channels[1].LineIn = true;
  FixedPreview fixed;
  m.mixer.SetPreviewSource(&fixed);
  m.Lines(6000, 1200, 2400, -3600);

  m.Block();  // pre-listen mix, both decks at 1
  EXPECT_EQ(m.monitor[0], 7000);  // (6000 + 2400) / 1.2
  EXPECT_EQ(m.monitor[1], -2000);  // (1200 - 3600) / 1.2

  const TCueLevels cue = PreListenLaw(-98);  // as -100: deck B silent in the headphones
  m.mixer.Channels[0].Cue = cue.cueA;
  m.mixer.Channels[1].Cue = cue.cueB;
  m.mixer.PreviewOn = true;
  m.Block();
  EXPECT_EQ(m.monitor[0], 6000);  // deck A and the preview, each / 1.2
  EXPECT_EQ(m.monitor[1], 0);

  TPhonesState phones;
  PhonesSplitClick(phones, true);
  PhonesSplitUnclick(phones);
  m.mixer.PhonesSplit = phones.split;
  m.mixer.PhonesMaster = phones.master;
  m.mixer.PreviewOn = false;
  m.Block();  // deck A mono left, deck B mono right
  EXPECT_EQ(m.monitor[0], (6000 + 1200) / 2);
  EXPECT_EQ(m.monitor[1], (2400 - 3600) / 2);

  PhonesSplitClick(phones, true);
  for (int i = 0; i < 9; ++i) PhonesTick(phones);  // held: master mode
  m.mixer.PhonesSplit = phones.split;
  m.mixer.PhonesMaster = phones.master;
  m.Block();
  EXPECT_EQ(m.monitor, m.master);
  EXPECT_EQ(m.master[0], 8400);
}

TEST(Mixer, TrimAfterTheChainIsLimited) {
  LineMixer m;
  m.mixer.Channels[0].LineIn = true;
  m.mixer.Channels[0].Trim = TrimFromGainDb(12);
  m.Lines(4000, 20000, 0, 0);
  m.Block();
  EXPECT_EQ(m.master[0], 15924);  // 4000 x 10^(12/20) = 15924.29
  EXPECT_EQ(m.master[1], 32767);
}

class RecordingSlot final : public TMixerEffectSlot {
 public:
  explicit RecordingSlot(std::vector<int>* order, int id) : order_(order), id_(id) {}
  void ProcessBlock(int16_t* block, int32_t bytes, double tempoBpm) noexcept override {
    if (order_->size() < 100) order_->push_back(id_);
    tempo = tempoBpm;
    for (int32_t i = 0; i < bytes / 2; ++i) block[i] = static_cast<int16_t>(block[i] / 2);
  }
  double tempo = -1;

 private:
  std::vector<int>* order_;
  int id_;
};

TEST(Mixer, EffectSlotsRunInOrderBeforeTheFilter) {
  std::vector<int> order;
  RecordingSlot first(&order, 1), third(&order, 3);
  LineMixer m;
  m.mixer.Channels[0].LineIn = true;
  m.Lines(8000, 8000, 0, 0);
  m.Block();
  EXPECT_TRUE(order.empty());  // an empty slot array: nothing runs
  m.mixer.SetEffectSlot(0, 0, &first);
  m.mixer.SetEffectSlot(0, 2, &third);
  m.mixer.SetEffectSlot(0, 7, &first);  // ignored
  m.mixer.SetEffectSlot(5, 0, &first);  // ignored
  m.Block();
  EXPECT_EQ(order, (std::vector<int>{1, 3}));
  EXPECT_EQ(m.master[0], 2000);
  EXPECT_EQ(first.tempo, 0.0);  // no deck: no tempo
  m.mixer.SetEffectSlot(0, 0, nullptr);
  m.mixer.SetEffectSlot(0, 2, nullptr);
  m.Block();
  EXPECT_EQ(m.master[0], 8000);
}

TEST(Mixer, MetersReadWhatTheRingsHold) {
  LineMixer m;
  EXPECT_EQ(m.mixer.Level(0), -96.0);  // nothing mixed: empty rings
  EXPECT_EQ(m.mixer.MasterLevels().left, -96.0);
  EXPECT_EQ(m.mixer.MasterLevels().right, -96.0);
  m.mixer.Channels[0].LineIn = true;
  m.mixer.Channels[1].LineIn = true;
  m.Lines(32767, 3277, 0, 0);
  m.Block();
  m.Block();
  EXPECT_NEAR(m.mixer.Level(0), (0.0 + 20 * std::log10(3277.0 / 32767)) / 2, 1e-3);
  EXPECT_EQ(m.mixer.Level(1), -96.0);  // silent deck
  const TStereoDb master = m.mixer.MasterLevels();
  EXPECT_NEAR(master.left, 0.0, 1e-3);
  EXPECT_NEAR(master.right, -20.0, 1e-2);
  EXPECT_EQ(m.mixer.Level(0), -96.0);  // read: the ring is empty again
  EXPECT_EQ(m.mixer.MasterLevels().left, -96.0);
  // Unread meters fill up and drop blocks; the mix goes on.
  for (int i = 0; i < 100; ++i) m.Block();
  EXPECT_NEAR(m.mixer.MasterLevels().left, 0.0, 1e-3);
}

TEST(Mixer, RecordsTheMasterBlocks) {
  test::TempDir dir;
  TRecorder recorder;
  TKAVMixer mixer(TMixerDeck{}, TMixerDeck{}, &recorder);
  mixer.Channels[1].Filter.SetCutoff(true, -1.0f);
  mixer.Channels[1].LineIn = true;
  mixer.Start();
  std::vector<int16_t> out(2 * kBlock), expect;
  for (int32_t i = 0; i < kBlock; ++i) {
    mixer.LineArea(1)[2 * i] = static_cast<int16_t>(i);
    mixer.LineArea(1)[2 * i + 1] = static_cast<int16_t>(-i);
  }
  ASSERT_TRUE(mixer.MixBlock(out.data(), kBlock * 4));  // not recording yet
  ASSERT_TRUE(recorder.Start(dir.file("rec.wav")));
  for (int b = 0; b < 3; ++b) {
    ASSERT_TRUE(mixer.MixBlock(out.data(), kBlock * 4));
    expect.insert(expect.end(), out.begin(), out.end());
  }
  recorder.Drain();
  recorder.Stop();
  const auto file = test::ReadAll(dir.file("rec.wav"));
  ASSERT_EQ(file.size(), 44 + expect.size() * 2);
  EXPECT_EQ(std::memcmp(file.data() + 44, expect.data(), expect.size() * 2), 0);
}

// Amplitude of a tone in one channel (single-bin DFT).
double ToneAmplitude(const std::vector<int16_t>& pcm, size_t first, size_t frames, int channel, double hz) {
  double re = 0, im = 0;
  for (size_t i = 0; i < frames; ++i) {
    const double w = 2 * 3.14159265358979323846 * hz * double(i) / 44100.0;
    re += pcm[2 * (first + i) + channel] * std::cos(w);
    im += pcm[2 * (first + i) + channel] * std::sin(w);
  }
  return 2 * std::hypot(re, im) / double(frames);
}

TEST(Mixer, TwoRealDecksThroughTheWholeChain) {
  const int32_t frames = 44100;
  test::TRenderDeck deckA(test::SineStereo(frames * 2, 1764.0, 1764.0, 0.3));
  test::TRenderDeck deckB(test::SineStereo(frames * 2, 3087.0, 3087.0, 0.3));
  TFFTFilter eqA, eqB;
  TKAVMixer mixer(TMixerDeck{&deckA.deck(), &eqA, {}}, TMixerDeck{&deckB.deck(), &eqB, {}}, nullptr);
  mixer.Channels[0].Filter.SetCutoff(true, -1.0f);
  mixer.Channels[1].Filter.SetCutoff(true, -1.0f);
  mixer.SetSubBlocks(4);  // 1024-frame device blocks in pieces of 256
  mixer.Start();
  deckA.PlayAt(0, 1.0);
  deckB.PlayAt(0, 1.0);

  auto mix = [&](int32_t count) {
    std::vector<int16_t> out(size_t(count) * 2), block(2 * 1024);
    for (int32_t done = 0; done < count; done += 1024) {
      EXPECT_TRUE(mixer.MixBlock(block.data(), 1024 * 4));
      std::copy(block.begin(), block.end(), out.begin() + long(done) * 2);
    }
    return out;
  };
  // Flat equalisers: both tones at their level less 0.02 dB.
  auto out = mix(16384);
  // Decks play at 0.9 of full scale; a flat equaliser passes -0.02 dB.
  const double flat = 0.9 * 0.3 * 32767 * std::pow(10.0, 6.0 / 20) / 2;
  EXPECT_NEAR(ToneAmplitude(out, 4410, 10000, 0, 1764.0), flat, flat * 0.003);
  EXPECT_NEAR(ToneAmplitude(out, 4410, 10000, 1, 3087.0), flat, flat * 0.003);

  // Deck A's mid cut and a crossfader towards deck B, deck B's low-pass filter.
  eqA.SetMidGain(EqualiserBandDb(-12, false));
  TCrossfaderState x;
  const TCrossfaderLaw law = CrossfaderLaw(x, 100, {}, {});
  mixer.SetCrossfadeGain(0, law.deckADb);
  mixer.SetCrossfadeGain(1, law.deckBDb);
  mixer.Channels[1].Filter.SetCutoff(true, 1000.0f);
  out = mix(16384);
  const double a = ToneAmplitude(out, 4410, 10000, 0, 1764.0);
  const double b = ToneAmplitude(out, 4410, 10000, 0, 3087.0);
  // Knob -12 cuts the mid band by 36 dB; crossfader 100 on the default curve 50
  // gives deck A entry 100, -(91^(50/77) - 1) = -17.711 dB (bc -l).
  EXPECT_NEAR(20 * std::log10(a / flat), -36.0 - 17.711, 1.0);
  EXPECT_LT(20 * std::log10(b / flat), -60.0);
  EXPECT_GT(mixer.Level(0), -96.0);
}

}  // namespace
}  // namespace zonda
