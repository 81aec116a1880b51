// An output device whose own thread pulls buffers from the source, as a
// sound driver's thread does: every `period` (0: back to back) one buffer
// of the granted size, until Stop or Close, which wait for a running
// Render. What was rendered is kept. A device made `silent` opens and
// starts but never calls back.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/WaveOutDevice.h"

namespace tonefield::fakes {

class ThreadedWaveOut : public WaveOutDevice {
 public:
  explicit ThreadedWaveOut(std::chrono::microseconds period = std::chrono::microseconds(0),
                           std::uint32_t grantedSamples = 0)
      : period_(period), granted_(grantedSamples) {}
  ~ThreadedWaveOut() override { Close(); }

  MmResult Query(const WaveFormat&) override { return kMmSuccess; }
  MmResult Open(const WaveFormat& format, std::uint32_t bufferSamples, AudioSource& source) override {
    format_ = format;
    bufferSamples_ = granted_ != 0 ? granted_ : bufferSamples;
    source_ = &source;
    return kMmSuccess;
  }
  MmResult Start() override {
    if (source_ == nullptr || thread_.joinable()) return 1;
    running_ = true;
    if (!silent) thread_ = std::thread([this] { Run(); });
    return kMmSuccess;
  }
  MmResult Stop() override {
    running_ = false;
    if (thread_.joinable()) thread_.join();
    return kMmSuccess;
  }
  MmResult Close() override {
    Stop();
    source_ = nullptr;
    return kMmSuccess;
  }
  std::uint32_t BufferSamples() const override { return bufferSamples_; }
  bool Lost() override { return lost.load(); }
  std::string ErrorText(MmResult code) override { return "threaded device error " + std::to_string(code); }

  // Everything rendered so far (a copy, taken under the device's lock).
  std::vector<std::int16_t> Played() {
    std::lock_guard lock(mutex_);
    return played_;
  }
  std::size_t Buffers() const { return buffers_.load(); }

  bool silent = false;
  std::atomic<bool> lost{false};

 private:
  void Run() {
    std::vector<std::int16_t> buffer(bufferSamples_);
    auto next = std::chrono::steady_clock::now();
    while (running_.load()) {
      source_->Render(buffer);
      {
        std::lock_guard lock(mutex_);
        played_.insert(played_.end(), buffer.begin(), buffer.end());
      }
      ++buffers_;
      if (period_.count() > 0) {
        next += period_;
        std::this_thread::sleep_until(next);
      } else {
        std::this_thread::yield();
      }
    }
  }

  std::chrono::microseconds period_;
  std::uint32_t granted_;
  WaveFormat format_{};
  std::uint32_t bufferSamples_ = 0;
  AudioSource* source_ = nullptr;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<std::size_t> buffers_{0};
  std::mutex mutex_;
  std::vector<std::int16_t> played_;
};

}  // namespace tonefield::fakes
