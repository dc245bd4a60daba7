// Two decks loading and seeking at the same time: the decoder lock serialises
// the providers (both use the one conversion scratch buffer) and every chunk
// holds exactly the bytes of its own file.
#include <gtest/gtest.h>

#include <thread>

#include "engine/SoundSource.h"
#include "tests/engine/DeckTestSupport.h"

namespace zonda {
namespace {

// Expected deck PCM byte of a 22050 Hz 8-bit mono pattern file.
int16_t MonoSample(int64_t deckFrame) {
  return static_cast<int16_t>((test::PatternByte(deckFrame / 2) - 128) * 256);
}

void CheckChunk(const TSoundSource& deck, int32_t index, bool converted) {
  const TChunk* c = deck.ChunkAt(index);
  ASSERT_NE(c, nullptr) << index;
  const int32_t frames = c->BytesRead / 4;
  for (int32_t f = 0; f < frames; f += 97) {
    const int64_t frame = static_cast<int64_t>(index) * kChunkFrames + f;
    if (converted) {
      ASSERT_EQ(c->PCM[2 * f], MonoSample(frame)) << index << ":" << f;
      ASSERT_EQ(c->PCM[2 * f + 1], MonoSample(frame)) << index << ":" << f;
    } else {
      const auto* b = reinterpret_cast<const uint8_t*>(c->PCM.data()) + 4 * f;
      for (int k = 0; k < 4; ++k) ASSERT_EQ(b[k], test::PatternByte(4 * frame + k)) << index << ":" << f;
    }
  }
}

TEST(TwoDecks, LoadAndSeekAtOnceWithByteExactData) {
  test::IsolatedProgramDir program;
  test::TempDir tracks;
  const std::string deckPcm = test::WritePatternTrack(tracks, "a.wav", 12LL * kChunkBytes + 1000);
  // 22050 Hz 8-bit mono: read through the shared conversion scratch buffer.
  std::vector<uint8_t> mono(static_cast<size_t>(12LL * kChunkBytes / 8 + 777));
  for (size_t i = 0; i < mono.size(); ++i) mono[i] = test::PatternByte(static_cast<int64_t>(i));
  test::WavSpec recipe;
  recipe.channels = 1;
  recipe.rateHz = 22050;
  recipe.bits = 8;
  const std::string converted = tracks.file("b.wav");
  test::WriteWav(converted, recipe, mono);

  TSoundSource deckA(true);
  TSoundSource deckB(false);
  auto drive = [](TSoundSource& deck, const std::string& file, bool isConverted) {
    for (int round = 0; round < 2; ++round) {
      ASSERT_TRUE(test::LoadAndWait(deck, file));
      ASSERT_TRUE(deck.LoadOk.load());
      CheckChunk(deck, 0, isConverted);
      for (int32_t target : {5, 11, 2, 8, 0, 12, 6}) {
        ASSERT_TRUE(test::SeekAndWait(deck, target * kChunkFrames + 1234));
        ASSERT_EQ(deck.Position.load(), target * static_cast<double>(kChunkFrames) + 1234);
        CheckChunk(deck, target, isConverted);
        if (target + 1 < deck.ChunkCount.load()) CheckChunk(deck, target + 1, isConverted);
      }
    }
  };
  std::thread a([&] { drive(deckA, deckPcm, false); });
  std::thread b([&] { drive(deckB, converted, true); });
  a.join();
  b.join();
  EXPECT_EQ(deckA.ChunkCount.load(), 13);
  EXPECT_EQ(deckB.ChunkCount.load(), 13);
}

}  // namespace
}  // namespace zonda
