// A fixed-capacity queue from the audio thread to the GUI thread that never
// allocates and never blocks. One pusher at a time (pushers are serialised
// by the device lock), one popper (the GUI thread).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>

namespace tonefield {

template <typename T, std::size_t Capacity>
class DoneQueue {
 public:
  // False when full; the entry is then not stored.
  bool Push(const T& item) {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    const std::size_t head = head_.load(std::memory_order_acquire);
    if (tail - head >= Capacity) return false;
    items_[tail % Capacity] = item;
    tail_.store(tail + 1, std::memory_order_release);
    return true;
  }

  bool Pop(T& item) {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    const std::size_t tail = tail_.load(std::memory_order_acquire);
    if (head == tail) return false;
    item = items_[head % Capacity];
    head_.store(head + 1, std::memory_order_release);
    return true;
  }

  std::size_t Size() const {
    return tail_.load(std::memory_order_acquire) - head_.load(std::memory_order_acquire);
  }

 private:
  std::array<T, Capacity> items_{};
  std::atomic<std::size_t> head_{0};
  std::atomic<std::size_t> tail_{0};
};

}  // namespace tonefield
