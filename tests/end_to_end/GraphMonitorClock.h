// A recording of a PipeWire sink's monitor with each sample's time on the
// graph's own clock: a capture stream of the sink whose every cycle gives
// the driver's time of that cycle (pw_stream_get_time_n), the steady
// clock's (CLOCK_MONOTONIC) nanoseconds. What it measures is when a sound
// leaves the graph's mixing, exactly, where a pulse client's recording
// (MonitorClock) only knows the latencies the pulse layer reports.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tonefield::testing {

class GraphMonitorClock {
 public:
  using Clock = std::chrono::steady_clock;
  // sink: the sink's node name, e.g. "tonefield_null"; rate: the graph's.
  GraphMonitorClock(const std::string& sink, std::uint32_t rate);
  ~GraphMonitorClock();
  GraphMonitorClock(const GraphMonitorClock&) = delete;
  GraphMonitorClock& operator=(const GraphMonitorClock&) = delete;

  // Empty once the recording runs; else why it does not.
  const std::string& error() const { return error_; }

  // As MonitorClock::Onset: the first sample at or after `from` (before
  // `to`) whose size reaches threshold, once the recording covers `to`;
  // empty when none, or when the monitor was not quiet in the quietBefore
  // before `from`.
  std::optional<Clock::time_point> Onset(Clock::time_point from, Clock::time_point to, int threshold,
                                         std::chrono::milliseconds quietBefore);

 private:
  struct Stream;
  struct Cycle {
    std::int64_t nowNs;  // the graph's time of the cycle's first sample
    std::size_t first;   // its index in samples_
  };
  static void Process(void* self);

  std::uint32_t rate_;
  std::string error_;
  std::unique_ptr<Stream> stream_;
  std::mutex mutex_;
  std::vector<std::int16_t> samples_;
  std::vector<Cycle> cycles_;
};

}  // namespace tonefield::testing
