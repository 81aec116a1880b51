// Real-time scheduling for the thread that runs a device's callback. SDL
// asks for it as its playback thread starts, but only where rtkit answers
// or the process may set it for the priority rtkit would grant; on a
// desktop without rtkit (or in a session whose user has a real-time limit
// instead) the thread stays an ordinary one, and a busy machine then makes
// it late. So the callback names its thread (no system call: the thread's
// own handle), and the window's timer raises that thread once per stream,
// when it is not real-time already. A thread a server's library made
// real-time itself (SDL's pipewire driver calls back on PipeWire's) keeps
// its own priority.
#pragma once

#include <pthread.h>

#include <atomic>
#include <string>

namespace tonefield {

class CallbackThreadPriority {
 public:
  // Below a pulse server's own mixing threads (PulseAudio runs them at 5),
  // above everything that is not real-time.
  static constexpr int kPriority = 4;

  // Device thread, in each callback.
  void Called() noexcept {
    if (known_.load(std::memory_order_relaxed)) return;
    thread_ = pthread_self();
    known_.store(true, std::memory_order_release);
  }
  // A new stream (open or reopen), while no callback runs: its thread is another.
  void Restart() noexcept {
    known_.store(false, std::memory_order_relaxed);
    done_ = false;
  }
  enum class Outcome : unsigned char { NotYet, AlreadyRealTime, Raised, Refused };
  // GUI thread, while the device is open (its thread is alive or not yet
  // joined): raises the callback's thread once. Refused: the system said no
  // (why() says what).
  Outcome Raise();
  const std::string& why() const { return why_; }

 private:
  std::atomic<bool> known_{false};
  pthread_t thread_{};  // written before known_ is set, read after it is seen
  bool done_ = false;
  std::string why_;
};

}  // namespace tonefield
