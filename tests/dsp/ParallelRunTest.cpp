#include "dsp/ParallelRun.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <pthread.h>
#include <signal.h>
#endif

#include <atomic>
#include <chrono>
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

// An interrupt must reach a thread of the program's own (the render tool
// holds it back there while it makes and registers a temporary file); a
// worker that took it would run the handler at any moment.
TEST(ParallelRun, WorkersAndHelpersHoldInterruptsBack) {
#ifdef _WIN32
  GTEST_SKIP() << "not on Windows: there are no signals to hold back; Ctrl+C runs its handler on a thread of its own";
#else
  // The caller's part waits until the other part has started, which only a
  // worker can then have taken.
  std::atomic<int> onWorkers{0};
  std::atomic<int> workersTakingInterrupts{0};
  ParallelRun(2, [&](std::size_t part) {
    if (part == 0) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (onWorkers.load() == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
      return;
    }
    sigset_t mask;
    ::pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    if (!sigismember(&mask, SIGINT) || !sigismember(&mask, SIGTERM)) workersTakingInterrupts.fetch_add(1);
    onWorkers.fetch_add(1);
  });
  if (ParallelWidth() > 1) {
    EXPECT_EQ(onWorkers.load(), 1);
  }
  EXPECT_EQ(workersTakingInterrupts.load(), 0);

  bool helperHolds = false;
  bool helperTakesFaults = false;
  std::thread helper([&] {
    HoldBackSignalsInThisThread();
    sigset_t mask;
    ::pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    helperHolds = sigismember(&mask, SIGINT) && sigismember(&mask, SIGHUP);
    helperTakesFaults = !sigismember(&mask, SIGSEGV);
  });
  helper.join();
  EXPECT_TRUE(helperHolds);
  EXPECT_TRUE(helperTakesFaults);
  sigset_t mine;
  ::pthread_sigmask(SIG_BLOCK, nullptr, &mine);
  EXPECT_FALSE(sigismember(&mine, SIGINT)) << "the calling thread is left as it was";
#endif
}

}  // namespace
}  // namespace tonefield
