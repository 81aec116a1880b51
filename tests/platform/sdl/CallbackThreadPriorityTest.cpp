// The callback's thread is raised to real-time once per stream, and a
// thread that is real-time already keeps its own policy and priority.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <thread>

#include "platform/sdl/CallbackThreadPriority.h"

namespace tonefield {
namespace {

// A stand-in for a device's thread: calls back until told to stop, and
// reports its own scheduling when asked.
class CallingThread {
 public:
  CallingThread(CallbackThreadPriority& priority, int policy, int level) {
    thread_ = std::thread([&priority, policy, level, this] {
      if (policy != SCHED_OTHER) {
        sched_param param{};
        param.sched_priority = level;
        startedRealTime_ = pthread_setschedparam(pthread_self(), policy, &param) == 0;
      }
      while (!stop_.load()) {
        priority.Called();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  ~CallingThread() {
    stop_ = true;
    thread_.join();
  }
  std::pair<int, int> Scheduling() {
    int policy = 0;
    sched_param param{};
    pthread_getschedparam(thread_.native_handle(), &policy, &param);
    return {policy & ~SCHED_RESET_ON_FORK, param.sched_priority};
  }
  bool startedRealTime() const { return startedRealTime_; }

 private:
  std::atomic<bool> stop_{false};
  bool startedRealTime_ = false;
  std::thread thread_;
};

TEST(CallbackThreadPriority, RaisesTheCallersThreadOncePerStream) {
  CallbackThreadPriority priority;
  EXPECT_EQ(priority.Raise(), CallbackThreadPriority::Outcome::NotYet) << "no callback yet";
  CallingThread device(priority, SCHED_OTHER, 0);
  priority.Restart();  // the stream starts: only its own thread's callbacks count
  while (priority.Raise() == CallbackThreadPriority::Outcome::NotYet) std::this_thread::yield();
  // Raise() returned once: what it did is now in the thread's scheduling.
  const auto [policy, level] = device.Scheduling();
  if (policy == SCHED_OTHER) GTEST_SKIP() << "this machine refuses real-time scheduling: " << priority.why();
  EXPECT_EQ(policy, SCHED_RR);
  EXPECT_EQ(level, CallbackThreadPriority::kPriority);
  EXPECT_EQ(priority.Raise(), CallbackThreadPriority::Outcome::NotYet) << "once per stream";
}

TEST(CallbackThreadPriority, LeavesAThreadThatIsRealTimeAlready) {
  CallbackThreadPriority priority;
  CallingThread device(priority, SCHED_FIFO, 30);
  priority.Restart();
  CallbackThreadPriority::Outcome outcome;
  while ((outcome = priority.Raise()) == CallbackThreadPriority::Outcome::NotYet) std::this_thread::yield();
  if (!device.startedRealTime()) GTEST_SKIP() << "this machine refuses real-time scheduling";
  EXPECT_EQ(outcome, CallbackThreadPriority::Outcome::AlreadyRealTime);
  EXPECT_EQ(device.Scheduling(), std::make_pair(SCHED_FIFO, 30));
}

}  // namespace
}  // namespace tonefield
