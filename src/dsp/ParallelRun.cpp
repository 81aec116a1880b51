#include "dsp/ParallelRun.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__unix__) || defined(__APPLE__)
#include <pthread.h>
#include <signal.h>
#define TONEFIELD_POSIX_SIGNALS 1
#endif

namespace tonefield {

namespace {

constexpr std::size_t kMaxWidth = 4;
// Key wave builds run two jobs back to back: a worker that has just finished
// one looks for the next for a short while before it sleeps, and the caller
// looks for the workers' last parts for a while before it sleeps.
constexpr int kSpinRounds = 100;

using PartFn = std::function<void(std::size_t part)>;

class WorkerPool {
 public:
  explicit WorkerPool(std::size_t workers) {
    for (std::size_t i = 0; i < workers; ++i) {
      try {
        threads_.emplace_back([this] { WorkerLoop(); });
      } catch (const std::system_error&) {
        break;  // fewer workers; the caller does the rest
      }
    }
  }

  ~WorkerPool() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // False when the pool is already running a job; the caller then runs the
  // parts itself.
  bool Run(std::size_t parts, const PartFn& work) {
    const std::unique_lock<std::mutex> busy(busy_, std::try_to_lock);
    if (!busy.owns_lock() || threads_.empty()) return false;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      work_ = &work;
      parts_ = parts;
      next_ = 1;
      unfinished_.store(parts - 1, std::memory_order_relaxed);
      generation_.fetch_add(1, std::memory_order_release);
    }
    wake_.notify_all();

    work(0);
    std::unique_lock<std::mutex> lock(mutex_);
    DoParts(lock);
    lock.unlock();
    for (int round = 0; round < kSpinRounds; ++round) {
      if (unfinished_.load(std::memory_order_acquire) == 0) break;
      std::this_thread::yield();
    }
    lock.lock();
    finished_.wait(lock, [this] { return unfinished_.load(std::memory_order_relaxed) == 0; });
    work_ = nullptr;
    return true;
  }

 private:
  // Takes parts of the current job until none is left. Called with the lock held.
  void DoParts(std::unique_lock<std::mutex>& lock) {
    while (next_ < parts_) {
      const std::size_t part = next_++;
      const PartFn* work = work_;
      lock.unlock();
      (*work)(part);
      lock.lock();
      if (unfinished_.fetch_sub(1, std::memory_order_acq_rel) == 1) finished_.notify_all();
    }
  }

  void WorkerLoop() {
    HoldBackSignalsInThisThread();
    std::uint64_t seen = 0;
    for (;;) {
      for (int round = 0; round < kSpinRounds; ++round) {
        if (generation_.load(std::memory_order_acquire) != seen) break;
        std::this_thread::yield();
      }
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] {
        return stopping_ || generation_.load(std::memory_order_relaxed) != seen;
      });
      if (stopping_) return;
      seen = generation_.load(std::memory_order_relaxed);
      DoParts(lock);
    }
  }

  std::mutex busy_;  // held for the whole of a run
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  // Written under mutex_; atomic so the spinning loops can look without it.
  std::atomic<std::uint64_t> generation_{0};
  std::atomic<std::size_t> unfinished_{0};
  const PartFn* work_ = nullptr;
  std::size_t parts_ = 0;
  std::size_t next_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

WorkerPool& Pool() {
  static WorkerPool pool(ParallelWidth() - 1);
  return pool;
}

}  // namespace

std::size_t ParallelWidth() {
  const std::size_t cores = std::thread::hardware_concurrency();
  return std::clamp<std::size_t>(cores, 1, kMaxWidth);
}

void HoldBackSignalsInThisThread() {
#if defined(TONEFIELD_POSIX_SIGNALS)
  sigset_t outside;
  sigfillset(&outside);
  for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT}) sigdelset(&outside, fault);
  ::pthread_sigmask(SIG_BLOCK, &outside, nullptr);
#endif
}

void ParallelRun(std::size_t parts, const PartFn& work) {
  if (parts == 0) return;
  if (parts > 1 && Pool().Run(parts, work)) return;
  for (std::size_t part = 0; part < parts; ++part) work(part);
}

}  // namespace tonefield
