// Brings news to the GUI thread without allocating or blocking. The audio
// and capture callbacks Post(): that only raises a GuiNewsLatch (atomics,
// never a system call), and the GUI looks at the latch on a timer of its
// own, every kAudioPollMilliseconds while a device runs. Other threads (the
// MIDI thread while no device runs, the performance writer) Wake(): the
// latch decides which call must write the one byte down a pipe that a
// socket notifier watches. While news keeps coming the GUI polls every few
// milliseconds. On the GUI thread the registered function runs after each
// wake-up and each poll that finds news (several fold into one run).
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>

#include "engine/GuiNewsLatch.h"

class QSocketNotifier;

namespace tonefield {

class GuiWake : public QObject {
 public:
  // How often the GUI looks for posted news while a device runs, and while
  // none does (nothing should post then; a device that starts is found).
  static constexpr int kAudioPollMilliseconds = 15;
  static constexpr int kIdlePollMilliseconds = 200;

  // audioRunning (GUI thread; may be empty: always): whether a device that
  // posts runs now.
  explicit GuiWake(std::function<void()> onWake, std::function<bool()> audioRunning = {},
                   QObject* parent = nullptr);
  ~GuiWake() override;
  GuiWake(const GuiWake&) = delete;
  GuiWake& operator=(const GuiWake&) = delete;

  // Any thread but an audio callback, async-signal-safe; call after the
  // news is published. At most one pipe write per stretch of news.
  void Wake();
  // Audio callbacks: after the news is published. Atomics only.
  void Post() noexcept;
  // Callables for the devices and the core.
  std::function<void()> Waker() {
    return [this] { Wake(); };
  }
  std::function<void()> Poster() {
    return [this] { Post(); };
  }
  bool ok() const { return fds_[0] >= 0; }

  // Wake() and Post() calls so far, Post() calls, and how many wrote to
  // the pipe (only Wake() ever does).
  std::uint64_t wakeCalls() const { return wakeCalls_.load(std::memory_order_relaxed); }
  std::uint64_t posts() const { return posts_.load(std::memory_order_relaxed); }
  std::uint64_t pipeWrites() const { return pipeWrites_.load(std::memory_order_relaxed); }

 private:
  void Drain();
  void PollPosted();

  std::function<void()> onWake_;
  std::function<bool()> audioRunning_;
  int fds_[2] = {-1, -1};
  QSocketNotifier* notifier_ = nullptr;
  QTimer poll_;
  QTimer postedPoll_;
  GuiNewsLatch latch_;
  std::atomic<std::uint64_t> wakeCalls_{0};
  std::atomic<std::uint64_t> posts_{0};
  std::atomic<std::uint64_t> pipeWrites_{0};
};

}  // namespace tonefield
