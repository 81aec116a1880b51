// Tells the GUI thread that news is waiting (key paints, a score's end, a
// full capture buffer, MIDI notes while no device runs) without a system
// call on every buffer. A producer publishes its news, then calls Raise();
// only the call that finds the latch clear must wake the GUI (one write to
// its wake pipe). The GUI drains while the latch stays raised, polling a
// short while later instead of being woken again; once a poll finds that
// nothing was raised since the previous one, it clears the latch and drains
// once more, and the next Raise wakes it. So a song that paints keys on
// every buffer wakes the GUI once, not once per buffer.
#pragma once

#include <atomic>
#include <cstdint>

namespace tonefield {

class GuiNewsLatch {
 public:
  // How long the GUI waits between polls while news keeps coming.
  static constexpr int kPollMilliseconds = 10;

  enum class Poll : std::uint8_t {
    Busy,  // news came since the last poll: drain, then poll again later
    Idle,  // nothing came: the latch is clear now; drain once more and wait
  };

  // Any thread, after its news is published; never blocks or calls the
  // system. True only for the call that raised a clear latch: the caller
  // wakes the GUI.
  bool Raise() noexcept {
    raises_.fetch_add(1, std::memory_order_relaxed);
    // Orders the published news before the look at the latch, pairing with
    // the fence in BeginDrain: either the GUI's last drain sees this news or
    // this call sees the latch clear and wakes it.
    std::atomic_thread_fence(std::memory_order_seq_cst);
    return !raised_.exchange(true, std::memory_order_acq_rel);
  }

  // GUI thread, before each drain (after a wake-up or a poll).
  Poll BeginDrain() noexcept {
    const std::uint64_t raises = raises_.load(std::memory_order_acquire);
    if (raises != seenRaises_) {
      seenRaises_ = raises;
      return Poll::Busy;
    }
    raised_.store(false, std::memory_order_seq_cst);
    std::atomic_thread_fence(std::memory_order_seq_cst);
    return Poll::Idle;
  }

  bool raised() const noexcept { return raised_.load(std::memory_order_acquire); }

 private:
  std::atomic<std::uint64_t> raises_{0};
  std::atomic<bool> raised_{false};
  std::uint64_t seenRaises_ = 0;  // GUI thread only
};

}  // namespace tonefield
