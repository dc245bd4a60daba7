#include <gtest/gtest.h>

#include <vector>

#include "platform/ilvex/core/BlockRouter.h"

namespace zonda::ilvex {
namespace {

// The program side: input recorded, output = channel c of frame i is 10*i + c + 1.
std::vector<float> g_seenInput;
int32_t g_outputResult = -1;  // -1: return the frame count
int g_inputCalls = 0, g_outputCalls = 0;

int32_t OnInput(float* buffer, int32_t frames) {
  ++g_inputCalls;
  g_seenInput.assign(buffer, buffer + frames * 4);
  return frames;
}

int32_t OnOutput(float* buffer, int32_t frames) {
  ++g_outputCalls;
  EXPECT_EQ(g_inputCalls, g_outputCalls) << "input runs first in every block";
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(buffer[4 * i + c], 0.0f) << "output area starts silent";
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < 4; ++c) buffer[4 * i + c] = float(10 * i + c + 1);
  return g_outputResult < 0 ? frames : g_outputResult;
}

class BlockRouterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_seenInput.clear();
    g_outputResult = -1;
    g_inputCalls = g_outputCalls = 0;
  }
  BlockRouter router_{&OnInput, &OnOutput};
};

TEST_F(BlockRouterTest, MapsTheFourProgramChannelsOntoTheDevice) {
  const int frames = 3;
  struct Case {
    int channels;
    std::vector<float> expected;  // frame-interleaved
  } cases[] = {
      {1, {1.5f, 11.5f, 21.5f}},                                         // (L + R) / 2
      {2, {1, 2, 11, 12, 21, 22}},                                       // master only
      {3, {1, 2, 0, 11, 12, 0, 21, 22, 0}},                              // master only
      {4, {1, 2, 3, 4, 11, 12, 13, 14, 21, 22, 23, 24}},                 // master + monitor
      {6, {1, 2, 3, 4, 0, 0, 11, 12, 13, 14, 0, 0, 21, 22, 23, 24, 0, 0}},  // extras silent
  };
  for (const Case& c : cases) {
    std::vector<float> out(size_t(frames * c.channels), -7.0f);
    router_.Process(nullptr, 0, out.data(), c.channels, frames);
    EXPECT_EQ(out, c.expected) << c.channels << " channels";
  }
}

TEST_F(BlockRouterTest, PassesDeviceInputsWithMissingChannelsSilent) {
  const std::vector<float> two = {0.1f, 0.2f, 0.3f, 0.4f};  // 2 frames x 2 channels
  router_.Process(two.data(), 2, nullptr, 0, 2);
  EXPECT_EQ(g_seenInput, (std::vector<float>{0.1f, 0.2f, 0, 0, 0.3f, 0.4f, 0, 0}));

  const std::vector<float> five = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};  // 2 frames x 5 channels
  router_.Process(five.data(), 5, nullptr, 0, 2);
  EXPECT_EQ(g_seenInput, (std::vector<float>{1, 2, 3, 4, 6, 7, 8, 9}));

  router_.Process(nullptr, 0, nullptr, 0, 1);  // no inputs at all: zeros
  EXPECT_EQ(g_seenInput, (std::vector<float>{0, 0, 0, 0}));
  EXPECT_EQ(router_.Blocks(), 3);
}

TEST_F(BlockRouterTest, OutputThatReportsNotRunningPlaysSilence) {
  g_outputResult = 0;
  std::vector<float> out(8, -7.0f);
  router_.Process(nullptr, 0, out.data(), 4, 2);
  EXPECT_EQ(out, std::vector<float>(8, 0.0f));
}

TEST_F(BlockRouterTest, OversizedBlocksRunInPieces) {
  const int frames = ILVEX_MAX_BLOCK_FRAMES + 10;
  std::vector<float> out(size_t(frames) * 2);
  router_.Process(nullptr, 0, out.data(), 2, frames);
  EXPECT_EQ(g_outputCalls, 2);
  EXPECT_EQ(out[0], 1.0f);
  EXPECT_EQ(out[size_t(ILVEX_MAX_BLOCK_FRAMES) * 2], 1.0f) << "second piece starts its own block";
  EXPECT_EQ(out[size_t(frames - 1) * 2 + 1], float(10 * 9 + 2));
  EXPECT_EQ(router_.Blocks(), 1);
}

}  // namespace
}  // namespace zonda::ilvex
