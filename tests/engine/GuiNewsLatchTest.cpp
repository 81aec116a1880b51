// The GUI is woken once per stretch of news, not once per buffer, and no
// news is ever left undrained.
#include "engine/GuiNewsLatch.h"

#include <gtest/gtest.h>
#include <readerwriterqueue/readerwriterqueue.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tonefield {
namespace {

// A run of the protocol on one thread: 'c' a callback with news (raise,
// wake the GUI when told to), '.' a callback without news, 'w' the GUI
// taking a pending wake-up, 'p' the GUI's poll timer firing (only while it
// is polling). Returns the number of wake-ups sent.
struct Run {
  int wakes = 0;
  int drains = 0;
  bool wakePending = false;
  bool polling = false;
};

Run Play(const std::string& script) {
  GuiNewsLatch latch;
  Run run;
  auto drain = [&] {
    ++run.drains;
    run.polling = latch.BeginDrain() == GuiNewsLatch::Poll::Busy;
  };
  for (char step : script) {
    switch (step) {
      case 'c':
        if (latch.Raise()) {
          ++run.wakes;
          run.wakePending = true;
        }
        break;
      case 'w':
        if (run.wakePending) {
          run.wakePending = false;
          drain();
        }
        break;
      case 'p':
        if (run.polling) drain();
        break;
      default:
        break;
    }
  }
  return run;
}

TEST(GuiNewsLatch, WakesOncePerStretchOfNewsNotOncePerBuffer) {
  struct Case {
    const char* name;
    std::string script;
    int wakes;
  };
  // A poll every two callbacks: 10 ms against 5 ms buffers.
  std::string song = "cw";
  for (int i = 0; i < 500; ++i) song += "ccp";
  const Case cases[] = {
      {"one note", "cwpp", 1},
      {"silence wakes nothing", "....pp..", 0},
      {"news on every buffer for 1000 buffers", song, 1},
      {"news before the GUI got to it folds into one wake", "cccccwpp", 1},
      {"two stretches apart", "cwcpcpppp....cwcpcppp", 2},
      {"news after the GUI went idle wakes it again", "cwcpppcwpp", 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Play(c.script).wakes, c.wakes) << c.name;
  }
}

TEST(GuiNewsLatch, ANewsJustBeforeTheLatchClearsIsDrainedWithoutAWake) {
  GuiNewsLatch latch;
  ASSERT_TRUE(latch.Raise());
  EXPECT_EQ(latch.BeginDrain(), GuiNewsLatch::Poll::Busy);
  EXPECT_TRUE(latch.raised()) << "while busy the producers stay quiet";
  EXPECT_FALSE(latch.Raise());
  EXPECT_EQ(latch.BeginDrain(), GuiNewsLatch::Poll::Busy) << "the raise after the drain keeps it polling";
  EXPECT_EQ(latch.BeginDrain(), GuiNewsLatch::Poll::Idle);
  EXPECT_FALSE(latch.raised());
  EXPECT_TRUE(latch.Raise()) << "once clear, the next news wakes";
}

// A producer thread at a buffer's pace and a GUI thread that sleeps until
// woken or until its poll is due, as the window's event loop does: every
// item arrives, in order, and the GUI is woken far less often than the
// producer had news.
TEST(GuiNewsLatch, ThreadedNothingIsLeftUndrainedAndWakesAreFew) {
  GuiNewsLatch latch;
  moodycamel::ReaderWriterQueue<int> news(64);
  std::mutex mutex;
  std::condition_variable woken;
  int pipeBytes = 0;
  std::atomic<int> wakes{0};
  std::atomic<bool> done{false};
  constexpr int kItems = 3000;

  std::thread producer([&] {
    for (int i = 0; i < kItems; ++i) {
      while (!news.try_enqueue(i)) std::this_thread::yield();
      if (latch.Raise()) {
        wakes.fetch_add(1);
        std::lock_guard lock(mutex);
        ++pipeBytes;
        woken.notify_one();
      }
      // A pause now and then lets the GUI go idle between stretches.
      if (i % 500 == 499) std::this_thread::sleep_for(std::chrono::milliseconds(30));
      else if (i % 4 == 0) std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    done.store(true);
  });

  std::vector<int> received;
  bool polling = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (static_cast<int>(received.size()) < kItems && std::chrono::steady_clock::now() < deadline) {
    {
      std::unique_lock lock(mutex);
      const auto wait = polling ? std::chrono::milliseconds(GuiNewsLatch::kPollMilliseconds)
                                : std::chrono::milliseconds(1000);
      woken.wait_for(lock, wait, [&] { return pipeBytes > 0; });
      pipeBytes = 0;
    }
    polling = latch.BeginDrain() == GuiNewsLatch::Poll::Busy;
    int item = 0;
    while (news.try_dequeue(item)) received.push_back(item);
  }
  producer.join();
  ASSERT_EQ(static_cast<int>(received.size()), kItems) << "news was left behind";
  for (int i = 0; i < kItems; ++i) ASSERT_EQ(received[static_cast<std::size_t>(i)], i);
  // Six stretches of news; a loaded machine may split a few more.
  EXPECT_GE(wakes.load(), 1);
  EXPECT_LT(wakes.load(), kItems / 20) << wakes.load() << " wake-ups for " << kItems << " buffers with news";
}

}  // namespace
}  // namespace tonefield
