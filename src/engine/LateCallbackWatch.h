// Notices a sound device's callbacks that come late: one that follows the
// previous by more than two buffers' time has let the server run dry (the
// server holds less than a buffer ahead), which is heard as a dropout.
// The device thread only reads the clock (no system call: the vDSO) and
// touches atomics; the GUI reads the count. BufferStepUp decides, on the
// GUI's timer, when the default buffer should grow once.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace tonefield {

class LateCallbackWatch {
 public:
  // Device thread, at the start of each callback. periodNs: one buffer.
  void Called(std::int64_t nowNs, std::int64_t periodNs) noexcept {
    const std::int64_t last = last_.exchange(nowNs, std::memory_order_relaxed);
    if (last != 0 && periodNs > 0 && nowNs - last > 2 * periodNs) late_.fetch_add(1, std::memory_order_relaxed);
  }
  // Before the device (re)starts, while no callback runs: the pause is no lateness.
  void Restart() noexcept { last_.store(0, std::memory_order_relaxed); }
  std::uint64_t late() const noexcept { return late_.load(std::memory_order_relaxed); }

 private:
  std::atomic<std::int64_t> last_{0};
  std::atomic<std::uint64_t> late_{0};
};

// GUI side: true once, when kLateToStep late callbacks came within the
// last kWindowTicks timer ticks, not counting the first kSettleTicks after
// the device opened (a stream's start is uneven on every server).
class BufferStepUp {
 public:
  static constexpr int kLateToStep = 3;
  static constexpr int kWindowTicks = 20;  // 5 s of the window's 250 ms timer
  static constexpr int kSettleTicks = 8;

  // The device opened (again): its count starts from late.
  void Opened(std::uint64_t late) {
    ticks_ = 0;
    history_.fill(late);
  }
  // Each timer tick while the device runs, with its late count so far.
  bool Tick(std::uint64_t late) {
    if (stepped_) return false;
    const std::size_t slot = static_cast<std::size_t>(ticks_ % kWindowTicks);
    ++ticks_;
    if (ticks_ <= kSettleTicks) {
      history_.fill(late);
      return false;
    }
    const std::uint64_t windowAgo = history_[slot];
    history_[slot] = late;
    if (late - windowAgo < static_cast<std::uint64_t>(kLateToStep)) return false;
    stepped_ = true;
    return true;
  }
  bool stepped() const { return stepped_; }

 private:
  std::array<std::uint64_t, kWindowTicks> history_{};  // the count at each of the last ticks
  std::int64_t ticks_ = 0;
  bool stepped_ = false;
};

}  // namespace tonefield
