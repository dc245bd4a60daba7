// End to end: a generated WAV loaded in a real deck plays through the direct
// mixer and the audio callbacks out of libilvex.so, on PortAudio's JACK host
// API (captured by a JACK client of the test) and on the null device
// (captured by the recorder), and must equal the deck's offline render frame
// for frame, at several pitches, reversed and key-locked.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <numbers>
#include <string>
#include <thread>

#include "engine/AudioOutput.h"
#include "engine/DeckDirectMixer.h"
#include "engine/IlvexLibrary.h"
#include "engine/Recorder.h"
#include "engine/TimerThread.h"
#include "tests/engine/DeckTestSupport.h"
#include "tests/engine/RenderDeckFixture.h"
#include "tests/platform/ilvex/IsolatedSettings.h"
#include "tests/support/JackClient.h"

namespace zonda {
namespace {

ZONDA_ISOLATED_SETTINGS();

constexpr int32_t kCompareFrames = 22050;  // 0.5 s of rendered audio compared

// Left never 0 (so the first rendered frame shows where playback began), right a second tone.
std::vector<int16_t> Track() {
  return test::MakeFrames(4 * 44100, [](int32_t k, int16_t& l, int16_t& r) {
    l = static_cast<int16_t>(std::lround(9000 + 7000 * std::sin(2 * std::numbers::pi * k / 151.3)));
    r = static_cast<int16_t>(std::lround(12000 * std::sin(2 * std::numbers::pi * k / 67.9)));
  });
}

struct Scenario {
  const char* name;
  double start;
  double speed;
  bool keyLock;
};

void Prepare(test::TRenderDeck& t, const Scenario& s) {
  t.deck().KeyLock.store(s.keyLock);
  t.PlayAt(s.start, s.speed);
  t.deck().Playing.store(false);
}

// The deck's own render of the scenario, in the device's sub-block pieces.
std::vector<int16_t> OfflineRender(const Scenario& s, int32_t pieceFrames) {
  test::TRenderDeck t(Track());
  Prepare(t, s);
  t.deck().Playing.store(true);
  return t.Render(kCompareFrames, pieceFrames);
}

// Matches captured frames against the reference in order. A captured frame
// that does not match is either junk (a gap: skipped) or the reference further
// on (frames lost to an xrun: the match resumes there, the skipped reference
// frames counted as lost).
struct Match {
  int64_t first = -1;
  int64_t matched = 0;
  int64_t mismatched = 0;
  int64_t lost = 0;
};

Match Compare(const std::vector<int16_t>& captured, const std::vector<int16_t>& reference, int tolerance) {
  Match m;
  const int64_t frames = static_cast<int64_t>(captured.size() / 2);
  const int64_t refFrames = static_cast<int64_t>(reference.size() / 2);
  auto same = [&](int64_t i, int64_t k) {
    return i < frames && k < refFrames && std::abs(captured[2 * i] - reference[2 * k]) <= tolerance &&
           std::abs(captured[2 * i + 1] - reference[2 * k + 1]) <= tolerance;
  };
  int64_t i = 0;
  while (i < frames && captured[2 * i] == 0 && captured[2 * i + 1] == 0) ++i;
  if (i == frames) return m;
  m.first = i;
  int64_t k = 0;
  for (; i < frames && k < refFrames; ++i) {
    if (same(i, k)) {
      ++m.matched;
      ++k;
      continue;
    }
    int64_t ahead = k + 1;
    while (ahead < std::min(refFrames, k + 8192) && !(same(i, ahead) && same(i + 1, ahead + 1))) ++ahead;
    if (ahead < std::min(refFrames, k + 8192)) {
      m.lost += ahead - k;
      k = ahead + 1;
      ++m.matched;
    } else {
      ++m.mismatched;
    }
  }
  return m;
}

std::vector<int16_t> RecordedFrames(const std::string& file) {
  const auto bytes = test::ReadAll(file);
  std::vector<int16_t> pcm(bytes.size() > 44 ? (bytes.size() - 44) / 2 : 0);
  if (!pcm.empty()) std::memcpy(pcm.data(), bytes.data() + 44, pcm.size() * 2);
  return pcm;
}

class AudioOutputEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    // The decks point ZONDA_PROGRAM_DIR at their own folders; the library stays in the installation.
    static const std::string installDir = [] {
      const char* dir = std::getenv("ZONDA_PROGRAM_DIR");
      return std::string(dir ? dir : ".");
    }();
    library_ = installDir + "/libilvex.so";
  }
  void TearDown() override {
    ::unsetenv("ZONDA_AUDIO");
    ::unsetenv("ZONDA_AUDIO_BLOCK");
  }

  // Plays the scenario on the device selected by the environment until the
  // capture holds enough frames (onOpen runs once the device is open).
  template <class Captured>
  void Play(const Scenario& s, const std::string& recordFile, Captured&& capturedEnough,
            const std::function<void()>& onOpen) {
    test::TRenderDeck t(Track());
    Prepare(t, s);
    TRecorder recorder;
    TDeckDirectMixer mixer(&t.deck(), &recorder);
    TAudioOutput output(mixer);
    IlvexLibrary ilvex;
    ASSERT_TRUE(ilvex.Load(library_)) << ilvex.LastError();
    ASSERT_TRUE(output.Open(ilvex, nullptr)) << "no audio device";
    pieceFrames_ = output.BlockSizes().SubBlockFrames;
    ASSERT_GT(pieceFrames_, 0);
    onOpen();
    mixer.Start();
    ASSERT_TRUE(recorder.Start(recordFile));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    t.deck().Playing.store(true);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!capturedEnough() && std::chrono::steady_clock::now() < until) {
      recorder.Drain();
      std::this_thread::sleep_for(std::chrono::milliseconds(35));
    }
    recorder.Drain();
    recorder.Drain();
    output.Close(ilvex);
    recorder.Stop();
  }

  std::string library_;
  int32_t pieceFrames_ = 0;
};

const Scenario kScenarios[] = {
    {"normal speed", 1000.0, 1.0, false},
    {"pitch +8 %", 1000.0, 1.08, false},
    {"reversed", 100000.0, -1.0, false},
    {"key lock at +6 %", 1000.0, 1.06, true},
};

TEST_F(AudioOutputEndToEnd, JackPlaysTheOfflineRender) {
  ZONDA_REQUIRE_JACK();
  const std::string clientName = "zonda-render-e2e-" + std::to_string(::getpid());
  ::setenv("ZONDA_AUDIO", "jack", 1);
  ::setenv("ZONDA_JACK_CLIENT", clientName.c_str(), 1);
  for (const Scenario& s : kScenarios) {
    SCOPED_TRACE(s.name);
    test::TempDir dir;
    const int64_t captureFrames = 4 * 44100;
    test::JackClient tap("zonda-render-tap", 4, 0, captureFrames);
    ASSERT_TRUE(tap.Ok());
    ASSERT_TRUE(tap.Activate());
    ::setenv("ZONDA_AUDIO_BLOCK", std::to_string(tap.BufferFrames()).c_str(), 1);
    Play(
        // Two seconds: on a loaded machine the sound can start well into the
        // capture, and the comparison needs kCompareFrames after its start.
        s, dir.file("rec.wav"), [&] { return tap.CapturedFrames() >= 2 * 44100; },
        [&] {
          ASSERT_TRUE(tap.WaitForPorts(clientName, true, 4, 5000));
          const auto outs = tap.PortsOf(clientName, true);
          ASSERT_EQ(outs.size(), 4u);
          for (int c = 0; c < 4; ++c) ASSERT_TRUE(tap.Connect(outs[size_t(c)], tap.InputPort(c)));
          tap.StartCapture();
        });
    tap.StopCapture();
    const auto reference = OfflineRender(s, pieceFrames_);

    // What JACK received, back from the device's float scale.
    for (int pair : {0, 1}) {  // master, then monitor
      const auto left = tap.Captured(2 * pair);
      const auto right = tap.Captured(2 * pair + 1);
      std::vector<int16_t> captured(left.size() * 2);
      for (size_t i = 0; i < left.size(); ++i) {
        captured[2 * i] = static_cast<int16_t>(std::lround(left[i] / 3e-5f));
        captured[2 * i + 1] = static_cast<int16_t>(std::lround(right[i] / 3e-5f));
      }
      const Match m = Compare(captured, reference, 1);
      ASSERT_GE(m.first, 0) << "no sound arrived on pair " << pair;
      EXPECT_EQ(m.matched + m.lost, kCompareFrames) << "pair " << pair;
      if (tap.Xruns() == 0) {
        EXPECT_EQ(m.mismatched, 0) << "pair " << pair;
        EXPECT_EQ(m.lost, 0) << "pair " << pair;
      } else {  // a loaded machine: only the traces of the reported xruns
        EXPECT_LT(m.lost + m.mismatched, kCompareFrames / 10) << "pair " << pair << ", " << tap.Xruns() << " xruns";
      }
    }
    // The recorder holds the master exactly as sent.
    const Match r = Compare(RecordedFrames(dir.file("rec.wav")), reference, 0);
    EXPECT_EQ(r.matched, kCompareFrames);
    EXPECT_EQ(r.mismatched, 0);
    tap.Deactivate();
  }
  ::unsetenv("ZONDA_JACK_CLIENT");
}

TEST_F(AudioOutputEndToEnd, NullDevicePlaysTheOfflineRender) {
  ::setenv("ZONDA_AUDIO", "null", 1);
  ::setenv("ZONDA_AUDIO_BLOCK", "441", 1);  // three sub-blocks of 147 frames
  for (const Scenario& s : {kScenarios[1], kScenarios[2]}) {
    SCOPED_TRACE(s.name);
    test::TempDir dir;
    const std::string file = dir.file("rec.wav");
    Play(
        s, file,
        [&] {
          const auto bytes = std::filesystem::exists(file) ? std::filesystem::file_size(file) : 0;
          return bytes > 44 + 4 * static_cast<uintmax_t>(kCompareFrames + 11025);
        },
        [] {});
    EXPECT_EQ(pieceFrames_, 147);
    const auto reference = OfflineRender(s, pieceFrames_);
    const Match r = Compare(RecordedFrames(file), reference, 0);
    ASSERT_GE(r.first, 0) << "nothing was recorded";
    EXPECT_EQ(r.matched, kCompareFrames);
    EXPECT_EQ(r.mismatched, 0);
  }
}

// A mixer in front of another that counts the frames the device asked for and,
// at a chosen frame, switches the deck's brake on from the audio thread, so a
// live run lines up frame for frame with an offline render.
class TCountingMixer final : public TAudioMixer {
 public:
  TCountingMixer(TAudioMixer& inner, TSoundSource& deck, int64_t brakeAtFrame)
      : inner_(inner), deck_(deck), brakeAtFrame_(brakeAtFrame) {}
  bool MixBlock(int16_t* destination, int32_t bytes) noexcept override {
    if (frames_.load() == brakeAtFrame_) deck_.Brake.store(true);
    const bool mixed = inner_.MixBlock(destination, bytes);
    if (mixed) frames_.fetch_add(bytes / 4);
    return mixed;
  }
  bool ReadMonitor(int16_t* destination, int32_t bytes) noexcept override {
    return inner_.ReadMonitor(destination, bytes);
  }
  int16_t* LineArea(int32_t line) noexcept override { return inner_.LineArea(line); }
  void SetSubBlocks(int32_t subBlocks) noexcept override { inner_.SetSubBlocks(subBlocks); }
  int32_t SubBlocks() const noexcept override { return inner_.SubBlocks(); }
  void ClearMonitor() noexcept override { inner_.ClearMonitor(); }
  // Frames mixed so far (any thread).
  int64_t Frames() const noexcept { return frames_.load(); }

 private:
  TAudioMixer& inner_;
  TSoundSource& deck_;
  const int64_t brakeAtFrame_;
  std::atomic<int64_t> frames_{0};
};

// Live gestures on the null device, paced by the frames the device asked for
// rather than by the clock: the brake runs the deck down to silence exactly as
// the offline render does and the deck then stands still; a mouse scratch driven
// by the hold-tracking timer plays audio again; the recording is a valid WAV.
TEST_F(AudioOutputEndToEnd, NullDeviceBrakesAndScratchesLive) {
  ::setenv("ZONDA_AUDIO", "null", 1);
  ::setenv("ZONDA_AUDIO_BLOCK", "512", 1);  // two sub-blocks of 256 frames
  constexpr int64_t kBrakeAt = 26 * 512;    // about 0.3 s of play, on a block boundary
  constexpr int64_t kBrakeRamp = 62500;     // the brake's ramp to standstill, frames
  constexpr int64_t kCompared = kBrakeAt + kBrakeRamp + 2048;
  test::TempDir dir;
  const std::string file = dir.file("live.wav");
  test::TRenderDeck t(Track());
  TSoundSource& d = t.deck();
  TRecorder recorder;
  TDeckDirectMixer direct(&d, &recorder);
  TCountingMixer mixer(direct, d, kBrakeAt);
  TAudioOutput output(mixer);
  IlvexLibrary ilvex;
  ASSERT_TRUE(ilvex.Load(library_)) << ilvex.LastError();
  ASSERT_TRUE(output.Open(ilvex, nullptr));
  ASSERT_EQ(output.BlockSizes().SubBlockFrames, 256);
  // Playing before the mix starts: the recording's first frame is the deck's first.
  t.PlayAt(1000.0, 1.0);
  ASSERT_TRUE(recorder.Start(file));
  direct.Start();
  // Drains the recorder until the device has asked for `frames` more frames;
  // false when it stopped asking (a minute without reaching them).
  auto runFrames = [&](int64_t frames) {
    const int64_t until = mixer.Frames() + frames;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (mixer.Frames() < until) {
      if (std::chrono::steady_clock::now() > giveUp) return false;
      recorder.Drain();
      std::this_thread::sleep_for(std::chrono::milliseconds(35));
    }
    return true;
  };

  ASSERT_TRUE(runFrames(kCompared)) << "the null device stopped calling";
  EXPECT_EQ(d.Speed.load(), 0.0);
  EXPECT_EQ(d.RenderedSpeed(), 0.0);
  const double stoppedAt = d.Position.load();
  ASSERT_TRUE(runFrames(44100 / 5));
  EXPECT_EQ(d.Position.load(), stoppedAt) << "a braked deck stands still";
  d.SetBrake(false);
  d.Playing.store(false);
  ASSERT_TRUE(runFrames(4096));

  std::atomic<int32_t> cursorX{1000};
  std::atomic<int64_t> tracked{0};
  d.HoldBegin(cursorX.load());
  TTimerThread holdTracking(
      TThreadPriority::Highest,
      [&] {
        d.TrackHolds(cursorX.load());
        tracked.fetch_add(1);
      },
      25, false);
  for (int step = 0; step < 30; ++step) {  // the hand moves the platter back and forth
    cursorX.store(1000 - static_cast<int32_t>(std::lround(400 * std::sin(step * 0.4))));
    // Each position is tracked at least once and played for three blocks.
    const int64_t seen = tracked.load();
    ASSERT_TRUE(runFrames(1536));
    ASSERT_TRUE(test::WaitUntil([&] { return tracked.load() > seen; })) << "the hold-tracking timer stopped";
  }
  holdTracking.Stop(1000);
  d.HoldEnd(cursorX.load());
  EXPECT_FALSE(d.Held.load());
  ASSERT_TRUE(runFrames(8820));
  output.Close(ilvex);
  recorder.Drain();
  recorder.Stop();

  const auto pcm = RecordedFrames(file);
  ASSERT_GE(static_cast<int64_t>(pcm.size() / 2), kCompared);
  // Play and brake: the offline render of the same gestures, frame for frame.
  test::TRenderDeck offline(Track());
  offline.PlayAt(1000.0, 1.0);
  std::vector<int16_t> reference = offline.Render(kBrakeAt, 256);
  offline.deck().Brake.store(true);
  const std::vector<int16_t> braking = offline.Render(kCompared - kBrakeAt, 256);
  reference.insert(reference.end(), braking.begin(), braking.end());
  int64_t firstDifference = -1;
  for (int64_t i = 0; i < kCompared && firstDifference < 0; ++i) {
    if (pcm[size_t(2 * i)] != reference[size_t(2 * i)] || pcm[size_t(2 * i + 1)] != reference[size_t(2 * i + 1)])
      firstDifference = i;
  }
  EXPECT_EQ(firstDifference, -1) << "the live brake differs from the offline render";
  EXPECT_GT(test::Rms(reference, 0, size_t(kBrakeAt), 0), 1000.0) << "it played before the brake";
  EXPECT_EQ(test::Rms(reference, size_t(kCompared - 2048), 2048, 0), 0.0) << "and was silent at the ramp's end";

  // After the brake a run of silence (the deck standing), later sound again (the scratch).
  size_t silentRun = 0, longestSilent = 0, soundAfterSilence = 0;
  for (size_t i = size_t(kCompared); i < pcm.size() / 2; ++i) {
    const bool silent = pcm[2 * i] == 0 && pcm[2 * i + 1] == 0;
    silentRun = silent ? silentRun + 1 : 0;
    longestSilent = std::max(longestSilent, silentRun);
    if (!silent && longestSilent >= 44100 / 5) ++soundAfterSilence;
  }
  EXPECT_GE(longestSilent, 44100u / 5) << "the braked deck stood still in silence";
  EXPECT_GT(soundAfterSilence, 4410u) << "the scratch played audio again";
  ZONDA_REQUIRE_TOOLS("soxi");  // the independent reader
  EXPECT_EQ(test::Run("soxi '" + file + "' >/dev/null 2>&1"), 0) << "a valid WAV";
}

TEST_F(AudioOutputEndToEnd, RestartTakesTheNewBlockSize) {
  ::setenv("ZONDA_AUDIO", "null", 1);
  ::setenv("ZONDA_AUDIO_BLOCK", "441", 1);
  TDeckDirectMixer mixer(nullptr, nullptr);
  TAudioOutput output(mixer);
  IlvexLibrary ilvex;
  ASSERT_TRUE(ilvex.Load(library_)) << ilvex.LastError();
  ASSERT_TRUE(output.Open(ilvex, nullptr));
  EXPECT_EQ(mixer.SubBlocks(), 3);
  EXPECT_EQ(output.LatencyTextShown(), "Latency: 10 ms at 44100 Hz sample rate");
  ::setenv("ZONDA_AUDIO_BLOCK", "1024", 1);
  EXPECT_TRUE(output.Restart(ilvex, nullptr));
  EXPECT_EQ(mixer.SubBlocks(), 4);
  EXPECT_EQ(output.BlockSizes().SubBlockFrames, 256);
  EXPECT_EQ(output.LatencyTextShown(), "Latency: 23 ms at 44100 Hz sample rate");
  output.Close(ilvex);
}

}  // namespace
}  // namespace zonda
