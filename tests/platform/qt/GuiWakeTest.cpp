// The GUI is woken by a pipe write only when news arrives after a quiet
// spell: a producer with news on every buffer writes once, not once per
// buffer, and every piece of news is still taken on the GUI thread.
#include "platform/qt/GuiWake.h"

#include <gtest/gtest.h>
#include <readerwriterqueue/readerwriterqueue.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <cstdio>
#include <chrono>
#include <thread>
#include <vector>

namespace tonefield {
namespace {

void RunEventsFor(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
}

TEST(GuiWake, NewsOnEveryBufferWakesTheGuiOnceAndNothingIsLeftBehind) {
  moodycamel::ReaderWriterQueue<int> news(4096);
  std::vector<int> taken;
  GuiWake wake([&] {
    int item = 0;
    while (news.try_dequeue(item)) taken.push_back(item);
  });
  ASSERT_TRUE(wake.ok());

  // A callback every 2 ms with news each time, as a song paints keys.
  constexpr int kBuffers = 400;
  std::atomic<bool> done{false};
  std::thread device([&] {
    auto next = std::chrono::steady_clock::now();
    for (int i = 0; i < kBuffers; ++i) {
      while (!news.try_enqueue(i)) std::this_thread::yield();
      wake.Wake();
      next += std::chrono::milliseconds(2);
      std::this_thread::sleep_until(next);
    }
    done.store(true);
  });
  QElapsedTimer timer;
  timer.start();
  while ((!done.load() || static_cast<int>(taken.size()) < kBuffers) && timer.elapsed() < 20000) {
    RunEventsFor(5);
  }
  device.join();
  ASSERT_EQ(static_cast<int>(taken.size()), kBuffers) << "news was left behind";
  for (int i = 0; i < kBuffers; ++i) ASSERT_EQ(taken[static_cast<std::size_t>(i)], i);
  EXPECT_EQ(wake.wakeCalls(), static_cast<std::uint64_t>(kBuffers));
  std::printf("%llu pipe writes for %d buffers with news\n", static_cast<unsigned long long>(wake.pipeWrites()),
              kBuffers);
  // A loaded machine may let the GUI fall idle a few times.
  EXPECT_LE(wake.pipeWrites(), static_cast<std::uint64_t>(kBuffers / 20))
      << wake.pipeWrites() << " pipe writes for " << kBuffers << " buffers with news";

  // After a quiet spell the next news wakes the GUI again, once.
  RunEventsFor(100);
  const std::uint64_t writes = wake.pipeWrites();
  ASSERT_TRUE(news.try_enqueue(-1));
  wake.Wake();
  EXPECT_EQ(wake.pipeWrites(), writes + 1);
  RunEventsFor(30);
  EXPECT_EQ(taken.back(), -1);
}

// The audio callbacks post: no pipe write at all (so no system call on
// their thread), yet the GUI takes every piece of news in order, on its own
// poll, both while news comes on every buffer and after a quiet spell.
TEST(GuiWake, PostedNewsReachesTheGuiWithoutAnyPipeWrite) {
  moodycamel::ReaderWriterQueue<int> news(4096);
  std::vector<int> taken;
  bool running = true;
  GuiWake wake(
      [&] {
        int item = 0;
        while (news.try_dequeue(item)) taken.push_back(item);
      },
      [&running] { return running; });
  constexpr int kBuffers = 300;
  std::atomic<bool> done{false};
  std::thread device([&] {
    auto next = std::chrono::steady_clock::now();
    for (int i = 0; i < kBuffers; ++i) {
      while (!news.try_enqueue(i)) std::this_thread::yield();
      wake.Post();
      // Every tenth buffer brings nothing for a while: the latch clears.
      next += std::chrono::milliseconds(i % 10 == 9 ? 60 : 2);
      std::this_thread::sleep_until(next);
    }
    done.store(true);
  });
  QElapsedTimer timer;
  timer.start();
  while ((!done.load() || static_cast<int>(taken.size()) < kBuffers) && timer.elapsed() < 30000) {
    RunEventsFor(5);
  }
  device.join();
  ASSERT_EQ(static_cast<int>(taken.size()), kBuffers) << "news was left behind";
  for (int i = 0; i < kBuffers; ++i) ASSERT_EQ(taken[static_cast<std::size_t>(i)], i);
  EXPECT_EQ(wake.posts(), static_cast<std::uint64_t>(kBuffers));
  EXPECT_EQ(wake.pipeWrites(), 0u) << "a post wrote to the pipe";

  // With no device running the GUI looks less often, but still finds it.
  running = false;
  RunEventsFor(2 * GuiWake::kIdlePollMilliseconds);
  ASSERT_TRUE(news.try_enqueue(-1));
  wake.Post();
  timer.restart();
  while (taken.back() != -1 && timer.elapsed() < 5000) RunEventsFor(5);
  EXPECT_EQ(taken.back(), -1);
  EXPECT_EQ(wake.pipeWrites(), 0u);
}

}  // namespace
}  // namespace tonefield
