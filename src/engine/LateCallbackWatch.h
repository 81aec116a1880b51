// Notices a sound device's callbacks that come late, as a dropout does:
// the stream falls behind real time. Its lead (audio handed over less the
// time gone by) stays level on a steady server; a late callback lowers it
// for good, as the server played silence meanwhile. Servers that ask in
// bursts (PipeWire's pulse layer: several buffers at once, then a pause)
// swing it without any loss, so each stream first learns its own swing and
// only a fall of more than that swing plus a buffer counts.
// The device thread only reads the clock (no system call: the vDSO) and
// touches its own fields and atomics; the GUI reads the count. BufferStepUp
// decides, on the GUI's timer, when the default buffer should grow once.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>

namespace tonefield {

class LateCallbackWatch {
 public:
  static constexpr std::int64_t kSettleNs = 2'000'000'000;  // a stream's start is uneven on every server
  static constexpr std::int64_t kLearnNs = 1'000'000'000;   // then its swing is learnt
  static constexpr std::int64_t kForgetPerNs = 1000;        // the best lead sinks 1 ms a second: clock drift

  // Device thread, at the start of each callback. periodNs: one buffer.
  void Called(std::int64_t nowNs, std::int64_t periodNs) noexcept {
    if (restart_.exchange(false, std::memory_order_acquire)) first_ = 0;
    if (periodNs <= 0) return;
    if (first_ == 0) {
      first_ = nowNs;
      from_ = 0;
      return;
    }
    if (from_ == 0) {
      if (nowNs - first_ < kSettleNs) return;
      from_ = nowNs;
      handed_ = 0;
      best_ = worst_ = 0;
      swing_ = -1;
      last_ = nowNs;
    }
    const std::int64_t lead = handed_ - (nowNs - from_);
    handed_ += periodNs;
    best_ = std::max(lead, best_ - (nowNs - last_) / kForgetPerNs);
    last_ = nowNs;
    if (swing_ < 0) {
      worst_ = std::min(worst_, lead);
      if (nowNs - from_ >= kLearnNs) swing_ = std::min(best_ - worst_, kMaxSwingNs);
      return;
    }
    if (best_ - lead > swing_ + periodNs) {
      late_.fetch_add(1, std::memory_order_relaxed);
      best_ = lead;  // one loss counts once
    }
  }
  // Before the device (re)starts, while no callback runs: the pause is no lateness.
  void Restart() noexcept { restart_.store(true, std::memory_order_release); }
  std::uint64_t late() const noexcept { return late_.load(std::memory_order_relaxed); }

 private:
  // A stall while learning must not blind the watch for good.
  static constexpr std::int64_t kMaxSwingNs = 60'000'000;

  std::atomic<bool> restart_{false};
  std::atomic<std::uint64_t> late_{0};
  // The device thread's own (one callback at a time, in order).
  std::int64_t first_ = 0;   // the stream's first callback, 0: none yet
  std::int64_t from_ = 0;    // where the lead is counted from, 0: still settling
  std::int64_t handed_ = 0;  // audio handed over since from_, ns
  std::int64_t best_ = 0, worst_ = 0, swing_ = -1, last_ = 0;
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
