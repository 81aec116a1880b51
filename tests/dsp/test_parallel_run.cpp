#include "dsp/ParallelRun.h"

#include <gtest/gtest.h>

#include <atomic>
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

}  // namespace
}  // namespace tonefield
