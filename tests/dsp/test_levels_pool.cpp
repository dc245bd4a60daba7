// Level conversions and the TAllocate block pool.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "dsp/Allocate.h"
#include "dsp/Levels.h"

namespace zonda {
namespace {

TEST(Levels, Conversions) {
  EXPECT_DOUBLE_EQ(DbToLevel(0), 32767.0);
  EXPECT_NEAR(DbToLevel(-6), 32767.0 * 0.501187, 1e-2);
  EXPECT_DOUBLE_EQ(DbToLevel(-200), 1.0);  // never below 1
  EXPECT_DOUBLE_EQ(DbToLevel(NAN), 1.0);
  EXPECT_DOUBLE_EQ(LevelToDb(32767), 0.0);
  EXPECT_NEAR(LevelToDb(1), -90.309, 1e-3);
  EXPECT_DOUBLE_EQ(LevelToDb(0), -96.0);
  EXPECT_DOUBLE_EQ(LevelToDb(-5), -96.0);
  EXPECT_DOUBLE_EQ(DbToGain(0), 1.0);
  EXPECT_NEAR(DbToGain(-12), 0.251189, 1e-6);
  EXPECT_DOUBLE_EQ(DbToGain(-318), 1.0 / 32767.0);
  EXPECT_NEAR(LevelToDb(DbToLevel(-40)), -40.0, 1e-9);
}

TEST(Allocate, ReusesExactSizesAndFreesUnusedBlocksFirst) {
  TAllocate pool;
  {
    TAllocate::Block a = pool.Get(1000);
    ASSERT_NE(a.data(), nullptr);
    for (size_t i = 0; i < a.size(); ++i) ASSERT_EQ(a.data()[i], std::byte{0});
    a.data()[10] = std::byte{0x5A};
  }
  EXPECT_EQ(pool.BlockCount(), 1u);
  EXPECT_EQ(pool.FreeCount(), 1u);
  {
    TAllocate::Block again = pool.Get(1000);  // the same block, zeroed again
    EXPECT_EQ(pool.BlockCount(), 1u);
    EXPECT_EQ(pool.FreeCount(), 0u);
    EXPECT_EQ(again.data()[10], std::byte{0});
    TAllocate::Block other = pool.Get(2000);
    EXPECT_EQ(pool.BlockCount(), 2u);
    TAllocate::Block moved = std::move(other);
    EXPECT_EQ(other.data(), nullptr);
    EXPECT_EQ(moved.size(), 2000u);
  }
  EXPECT_EQ(pool.FreeCount(), 2u);
  TAllocate::Block third = pool.Get(3000);  // no fit: the free blocks go, one new block
  EXPECT_EQ(pool.BlockCount(), 1u);
  EXPECT_EQ(pool.Get(0).data(), nullptr);
}

TEST(Allocate, ManyThreads) {
  TAllocate pool;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&pool, t] {
      for (int i = 0; i < 200; ++i) {
        TAllocate::Block b = pool.Get(size_t(64 + (i + t) % 3));
        b.data()[0] = std::byte{1};
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(pool.FreeCount(), pool.BlockCount());
}

}  // namespace
}  // namespace zonda
