// LockedRand's sequence is pinned from the start of a run, so it has a test
// program of its own: no other test may draw before it.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "core/util.h"

namespace {

TEST(LockedRand, EveryRunDrawsTheSameSequence) {
  EXPECT_EQ(LockedRand(), 41);
  EXPECT_EQ(LockedRand(), 18467);
  EXPECT_EQ(LockedRand(), 6334);
}

TEST(LockedRand, DrawsFromSeveralThreadsStayInRange) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 10000; ++i) {
        const int r = LockedRand();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 0x7FFF);
      }
    });
  }
  for (auto& t : threads) t.join();
}

}  // namespace
