// Wakes the GUI thread from any thread without allocating, blocking or, on
// most calls, a system call: a GuiNewsLatch decides which Wake() must write
// the one byte down a pipe that a socket notifier watches; while news keeps
// coming the GUI polls every few milliseconds instead, and the producers
// (the audio callback, the capture callback, the MIDI thread) only touch
// atomics. On the GUI thread the registered function runs after each
// wake-up and each poll (several wakes fold into one run).
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
  explicit GuiWake(std::function<void()> onWake, QObject* parent = nullptr);
  ~GuiWake() override;
  GuiWake(const GuiWake&) = delete;
  GuiWake& operator=(const GuiWake&) = delete;

  // Any thread, async-signal-safe; call after the news is published.
  void Wake();
  // A callable for the devices' constructors.
  std::function<void()> Waker() {
    return [this] { Wake(); };
  }
  bool ok() const { return fds_[0] >= 0; }

  // Wake() calls so far, and how many of them wrote to the pipe.
  std::uint64_t wakeCalls() const { return wakeCalls_.load(std::memory_order_relaxed); }
  std::uint64_t pipeWrites() const { return pipeWrites_.load(std::memory_order_relaxed); }

 private:
  void Drain();

  std::function<void()> onWake_;
  int fds_[2] = {-1, -1};
  QSocketNotifier* notifier_ = nullptr;
  QTimer poll_;
  GuiNewsLatch latch_;
  std::atomic<std::uint64_t> wakeCalls_{0};
  std::atomic<std::uint64_t> pipeWrites_{0};
};

}  // namespace tonefield
