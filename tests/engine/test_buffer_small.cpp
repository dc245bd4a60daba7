// TBufferSmall: all-or-nothing transfers, full and empty edges, wrap-around.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace zonda
