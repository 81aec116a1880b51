// A recording of a pulse server's monitor (PipeWire's pulse layer too) with
// the time each sample went through the server, on the steady clock: a
// helper thread reads small chunks and, after each read, takes the time
// less what the stream says is still buffered (the server's source latency
// and the bytes not yet read). Each read gives one estimate of when the
// recording's first sample passed; the median of those near a moment
// places the samples there.
// What it measures is when a sound leaves the server's mixing, which is
// what a speaker behind the sink would get after the sink's own latency.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tonefield::testing {

class MonitorClock {
 public:
  using Clock = std::chrono::steady_clock;
  // source: e.g. "tonefield_null.monitor"; rate: the sink's own rate
  // (no resampling delay in the way).
  MonitorClock(const std::string& source, std::uint32_t rate);
  ~MonitorClock();
  MonitorClock(const MonitorClock&) = delete;
  MonitorClock& operator=(const MonitorClock&) = delete;

  // Empty once the recording runs; else why it does not.
  const std::string& error() const { return error_; }

  // The time of the first sample at or after `from` (and before `to`) whose
  // size reaches threshold, once the recording covers `to`. Empty when none,
  // or when the monitor was not quiet in the quietBefore before `from`.
  std::optional<Clock::time_point> Onset(Clock::time_point from, Clock::time_point to, int threshold,
                                         std::chrono::milliseconds quietBefore);

 private:
  void Run();
  Clock::time_point TimeOf(std::size_t index) const;  // with mutex_ held

  std::uint32_t rate_;
  std::string source_;
  std::string error_;
  void* stream_ = nullptr;  // pa_simple
  std::thread reader_;
  std::atomic<bool> quit_{false};
  mutable std::mutex mutex_;
  std::vector<std::int16_t> samples_;
  std::vector<double> startEstimates_;  // seconds on the steady clock
  double start_ = 0;
};

}  // namespace tonefield::testing
