#include "platform/sdl/SdlServerCalls.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace tonefield {
namespace {

struct Call {
  std::function<void()> work;
  std::function<void()> late;
  bool done = false;
  bool abandoned = false;  // the caller stopped waiting
};

// Never destroyed: the helper may still be blocked in the server when the
// program exits, and must not find its queue gone.
struct Helper {
  std::mutex mutex;
  std::condition_variable queued;
  std::condition_variable finished;
  std::deque<std::shared_ptr<Call>> calls;
  int overdue = 0;  // calls abandoned by their caller and not yet finished
  bool started = false;

  void Run() {
    std::unique_lock lock(mutex);
    while (true) {
      queued.wait(lock, [this] { return !calls.empty(); });
      std::shared_ptr<Call> call = std::move(calls.front());
      calls.pop_front();
      lock.unlock();
      if (call->work) call->work();
      lock.lock();
      call->done = true;
      const bool abandoned = call->abandoned;
      finished.notify_all();
      if (abandoned) {
        lock.unlock();
        if (call->late) call->late();
        lock.lock();
        --overdue;
      }
    }
  }

  // With the lock held. False when no thread can be started.
  bool EnsureStarted() {
    if (started) return true;
    try {
      std::thread([this] { Run(); }).detach();
    } catch (const std::system_error&) {
      return false;
    }
    started = true;
    return true;
  }
};

Helper& TheHelper() {
  static Helper* helper = new Helper;
  return *helper;
}

}  // namespace

ServerCall RunServerCall(std::function<void()> work, std::function<void()> late, std::chrono::milliseconds limit) {
  Helper& helper = TheHelper();
  std::unique_lock lock(helper.mutex);
  if (helper.overdue > 0) return ServerCall::Stuck;
  if (!helper.EnsureStarted()) {
    lock.unlock();
    if (work) work();
    return ServerCall::Done;
  }
  auto call = std::make_shared<Call>();
  call->work = std::move(work);
  call->late = std::move(late);
  helper.calls.push_back(call);
  helper.queued.notify_one();
  if (helper.finished.wait_for(lock, limit, [&call] { return call->done; })) return ServerCall::Done;
  call->abandoned = true;
  ++helper.overdue;
  return ServerCall::Overdue;
}

void QueueServerCall(std::function<void()> work) {
  Helper& helper = TheHelper();
  std::unique_lock lock(helper.mutex);
  if (!helper.EnsureStarted()) {
    lock.unlock();
    if (work) work();
    return;
  }
  auto call = std::make_shared<Call>();
  call->work = std::move(work);
  helper.calls.push_back(std::move(call));
  helper.queued.notify_one();
}

bool ServerCallsStuck() {
  Helper& helper = TheHelper();
  std::lock_guard lock(helper.mutex);
  return helper.overdue > 0;
}

}  // namespace tonefield
