#include "dsp/ParallelRun.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tonefield {
namespace {

TEST(ParallelRun, RunsEveryPartOnceAndWaitsForAll) {
  for (std::size_t parts : {0u, 1u, 2u, 7u}) {
    std::vector<std::atomic<int>> calls(parts);
    ParallelRun(parts, [&](std::size_t part) { calls[part].fetch_add(1); });
    for (std::size_t part = 0; part < parts; ++part) EXPECT_EQ(calls[part].load(), 1) << parts;
  }
  EXPECT_GE(ParallelWidth(), 1u);
  EXPECT_LE(ParallelWidth(), 4u);
}

// Back-to-back runs reuse the same workers: a part lost or run twice, or a
// worker that misses a wake-up (the run would never return), shows here.
TEST(ParallelRun, ManyRunsInARowEachSeeEveryPartOnce) {
  for (int run = 0; run < 2000; ++run) {
    const std::size_t parts = 1 + run % 5;
    std::vector<int> results(parts, 0);
    ParallelRun(parts, [&](std::size_t part) { results[part] += static_cast<int>(part) + run; });
    for (std::size_t part = 0; part < parts; ++part) {
      ASSERT_EQ(results[part], static_cast<int>(part) + run) << "run " << run;
    }
  }
}

TEST(ParallelRun, RunFromInsideAPartAndFromTwoThreadsAtOnceComplete) {
  std::atomic<int> inner{0};
  ParallelRun(3, [&](std::size_t) {
    ParallelRun(4, [&](std::size_t) { inner.fetch_add(1); });
  });
  EXPECT_EQ(inner.load(), 12);

  std::atomic<int> total{0};
  auto many = [&] {
    for (int i = 0; i < 300; ++i) ParallelRun(3, [&](std::size_t) { total.fetch_add(1); });
  };
  std::thread other(many);
  many();
  other.join();
  EXPECT_EQ(total.load(), 2 * 300 * 3);
}

}  // namespace
}  // namespace tonefield
