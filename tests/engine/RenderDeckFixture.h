#pragma once
// A real deck loaded with a generated WAV through the decoder front and the
// deck worker, for the renderer and audio output tests, plus small helpers to
// put the deck into a known transport state and to render frames.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/SoundSource.h"
#include "platform/ProgramDir.h"
#include "tests/support/TestFiles.h"

namespace zonda::test {

// Interleaved stereo frames from a per-frame function.
inline std::vector<int16_t> MakeFrames(int32_t frames, const std::function<void(int32_t, int16_t&, int16_t&)>& f) {
  std::vector<int16_t> pcm(static_cast<size_t>(frames) * 2);
  for (int32_t i = 0; i < frames; ++i) f(i, pcm[2 * i], pcm[2 * i + 1]);
  return pcm;
}

class TRenderDeck {
 public:
  // Writes pcm as a WAV into a private folder (which also holds the song
  // settings file) and loads it into a fresh deck; fails the test when the
  // load does not finish within 10 s.
  explicit TRenderDeck(const std::vector<int16_t>& pcm, bool waitForAllChunks = true) : pcm_(pcm) {
    setenv("ZONDA_PROGRAM_DIR", dir_.path().c_str(), 1);
    ResetProgramDirForTests();
    const std::string file = dir_.file("track.wav");
    WriteDeckWav(file, pcm);
    deck_ = std::make_unique<TSoundSource>(true);
    EXPECT_TRUE(deck_->Load(file));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    const int32_t chunks = static_cast<int32_t>((pcm.size() / 2 + kChunkFrames - 1) / kChunkFrames);
    while (std::chrono::steady_clock::now() < deadline) {
      if (deck_->LoadOk.load() && !deck_->LoadPending.load() &&
          (!waitForAllChunks || deck_->ChunksPresent() >= chunks))
        break;
      if (deck_->LoadOk.load()) deck_->WakeEvent.Signal();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(deck_->LoadOk.load()) << "the deck did not load";
    // Settle the renderer state as after a fresh load.
    deck_->StartAtSpeed(1.0);
  }

  TSoundSource& deck() { return *deck_; }
  const std::vector<int16_t>& pcm() const { return pcm_; }
  int16_t Source(int64_t frame, int channel) const { return pcm_[static_cast<size_t>(frame) * 2 + channel]; }

  // Playing at a constant speed with no ramp running.
  void PlayAt(double position, double speed) {
    TSoundSource& d = *deck_;
    d.Position.store(position);
    d.StartAtSpeed(speed);
    d.Playing.store(true);
  }

  // Renders `frames` in blocks of `blockFrames`; fails the test when a block returns false.
  std::vector<int16_t> Render(int32_t frames, int32_t blockFrames = 256) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    for (int32_t done = 0; done < frames;) {
      const int32_t n = std::min(blockFrames, frames - done);
      EXPECT_TRUE(deck_->RenderBlock(out.data() + static_cast<size_t>(done) * 2, n * 4));
      done += n;
    }
    return out;
  }

 private:
  TempDir dir_;
  std::vector<int16_t> pcm_;
  std::unique_ptr<TSoundSource> deck_;
};

inline double Rms(const std::vector<int16_t>& pcm, size_t firstFrame, size_t frames, int channel) {
  double s = 0.0;
  for (size_t i = firstFrame; i < firstFrame + frames; ++i) s += double(pcm[2 * i + channel]) * pcm[2 * i + channel];
  return std::sqrt(s / static_cast<double>(frames));
}

}  // namespace zonda::test
