// TBufferSmall: all-or-nothing transfers, full and empty edges, wrap-around,
// one writer and one reader without a lock, clears asked for by a third thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <numeric>
#include <thread>
#include <vector>

#include "engine/BufferSmall.h"

namespace zonda {
namespace {

TEST(BufferSmall, EdgesOfFullAndEmpty) {
  TBufferSmall ring(100);
  std::vector<uint8_t> in(100), out(100);
  std::iota(in.begin(), in.end(), 0);
  EXPECT_FALSE(ring.Write(in.data(), 0));
  EXPECT_FALSE(ring.Write(in.data(), -5));
  EXPECT_FALSE(ring.Read(out.data(), 1)) << "empty";
  EXPECT_EQ(ring.FreeBytes(), 100);
  EXPECT_TRUE(ring.Write(in.data(), 100));
  EXPECT_EQ(ring.FreeBytes(), 0);
  EXPECT_EQ(ring.UsedBytes(), 100);
  EXPECT_FALSE(ring.Write(in.data(), 1)) << "full";
  EXPECT_FALSE(ring.Read(out.data(), 101));
  EXPECT_FALSE(ring.Read(out.data(), 0));
  EXPECT_TRUE(ring.Read(out.data(), 100));
  EXPECT_EQ(out, in);
  EXPECT_EQ(ring.UsedBytes(), 0);
  EXPECT_TRUE(ring.Write(in.data(), 30));
  ring.Clear();
  EXPECT_EQ(ring.FreeBytes(), 100);
  EXPECT_FALSE(ring.Read(out.data(), 1));
}

TEST(BufferSmall, WrapsInOrder) {
  TBufferSmall ring(100);
  std::vector<uint8_t> in(70), out(70);
  std::iota(in.begin(), in.end(), 1);
  ASSERT_TRUE(ring.Write(in.data(), 70));
  ASSERT_TRUE(ring.Read(out.data(), 70));
  // WritePos is 70: 30 bytes go to the end, 40 to the start.
  std::iota(in.begin(), in.end(), 100);
  ASSERT_TRUE(ring.Write(in.data(), 70));
  EXPECT_FALSE(ring.Write(in.data(), 31));
  ASSERT_TRUE(ring.Read(out.data(), 70));
  EXPECT_EQ(out, in);
}

TEST(BufferSmall, OneWriterOneReaderKeepTheStreamIntact) {
  TBufferSmall ring(35280);
  constexpr int kBlocks = 4000;
  constexpr int kBlock = 1000;
  std::thread writer([&] {
    std::vector<uint8_t> block(kBlock);
    for (int b = 0; b < kBlocks;) {
      for (int i = 0; i < kBlock; ++i) block[i] = static_cast<uint8_t>(b * 7 + i);
      if (ring.Write(block.data(), kBlock)) ++b;
      else std::this_thread::yield();
    }
  });
  std::vector<uint8_t> block(kBlock);
  for (int b = 0; b < kBlocks;) {
    if (!ring.Read(block.data(), kBlock)) {
      std::this_thread::yield();
      continue;
    }
    for (int i = 0; i < kBlock; ++i) ASSERT_EQ(block[i], static_cast<uint8_t>(b * 7 + i)) << b;
    ++b;
  }
  writer.join();
  EXPECT_EQ(ring.UsedBytes(), 0);
}

TEST(BufferSmall, RequestedClearDropsOnlyWhatWasWrittenBefore) {
  TBufferSmall ring(100);
  std::vector<uint8_t> old(30, 1), fresh(20, 2), out(20);
  ASSERT_TRUE(ring.Write(old.data(), 30));
  ring.RequestClear();
  EXPECT_EQ(ring.FreeBytes(), 70) << "the reader has not dropped it yet";
  ASSERT_TRUE(ring.Write(fresh.data(), 20));
  EXPECT_EQ(ring.UsedBytes(), 20);
  EXPECT_EQ(ring.FreeBytes(), 80);
  ASSERT_TRUE(ring.Read(out.data(), 20));
  EXPECT_EQ(out, fresh);
  EXPECT_FALSE(ring.Read(out.data(), 1));
}

TEST(BufferSmall, ClearsFromAThirdThreadNeverTearABlock) {
  // The monitor ring's case: written and read on the audio thread, cleared at
  // an audio restart from the main thread. Blocks are dropped whole or kept.
  TBufferSmall ring(35280);
  constexpr int kBlocks = 6000;
  constexpr int kBlock = 1000;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    std::vector<uint8_t> block(kBlock);
    for (int b = 0; b < kBlocks;) {
      std::fill(block.begin(), block.end(), static_cast<uint8_t>(b));
      if (ring.Write(block.data(), kBlock)) ++b;
      else std::this_thread::yield();
    }
    done = true;
  });
  std::thread clearer([&] {
    while (!done) {
      ring.RequestClear();
      std::this_thread::yield();
    }
  });
  std::vector<uint8_t> block(kBlock);
  int got = 0;
  while (!done || ring.UsedBytes() >= kBlock) {
    if (!ring.Read(block.data(), kBlock)) {
      std::this_thread::yield();
      continue;
    }
    const int b = block[0];
    for (int i = 1; i < kBlock; ++i) ASSERT_EQ(block[i], b) << "a torn block";
    ++got;
  }
  writer.join();
  clearer.join();
  EXPECT_GT(got, 0);
}

}  // namespace
}  // namespace zonda
