#include "end_to_end/MonitorClock.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <cstdlib>

namespace tonefield::testing {
namespace {

double Seconds(MonitorClock::Clock::time_point t) { return std::chrono::duration<double>(t.time_since_epoch()).count(); }

}  // namespace

MonitorClock::MonitorClock(const std::string& source, std::uint32_t rate) : rate_(rate), source_(source) {
  pa_sample_spec sampleFormat{};
  sampleFormat.format = PA_SAMPLE_S16LE;
  sampleFormat.rate = rate;
  sampleFormat.channels = 1;
  // Chunks of 1 ms: the server hands each as soon as it has it.
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
  attr.fragsize = rate / 1000 * 2;
  int error = 0;
  pa_simple* stream = pa_simple_new(nullptr, "Tonefield latency probe", PA_STREAM_RECORD, source.c_str(),
                                    "monitor clock", &sampleFormat, nullptr, &attr, &error);
  if (stream == nullptr) {
    error_ = std::string("cannot record ") + source + ": " + pa_strerror(error);
    return;
  }
  stream_ = stream;
  reader_ = std::thread([this] { Run(); });
}

MonitorClock::~MonitorClock() {
  quit_ = true;
  if (reader_.joinable()) reader_.join();
  if (stream_ != nullptr) pa_simple_free(static_cast<pa_simple*>(stream_));
}

void MonitorClock::Run() {
  auto* stream = static_cast<pa_simple*>(stream_);
  std::vector<std::int16_t> chunk(std::max<std::uint32_t>(rate_ / 1000, 1));
  std::size_t total = 0;
  while (!quit_) {
    int error = 0;
    if (pa_simple_read(stream, chunk.data(), chunk.size() * 2, &error) < 0) break;
    const auto now = Clock::now();
    const pa_usec_t latency = pa_simple_get_latency(stream, &error);
    total += chunk.size();
    const double start = Seconds(now) - static_cast<double>(latency) / 1e6 - static_cast<double>(total) / rate_;
    std::lock_guard lock(mutex_);
    samples_.insert(samples_.end(), chunk.begin(), chunk.end());
    startEstimates_.push_back(start);
  }
}

MonitorClock::Clock::time_point MonitorClock::TimeOf(std::size_t index) const {
  const double at = start_ + static_cast<double>(index) / rate_;
  return Clock::time_point(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(at)));
}

std::optional<MonitorClock::Clock::time_point> MonitorClock::Onset(Clock::time_point from, Clock::time_point to,
                                                                  int threshold,
                                                                  std::chrono::milliseconds quietBefore) {
  // Waits (briefly) until the recording reaches past `to`; the start is
  // taken from the reads of the few seconds around the stretch asked for,
  // so a slow drift of the server's latency reports does not pile up.
  for (int i = 0; i < 200; ++i) {
    {
      std::lock_guard lock(mutex_);
      std::vector<double> near;
      for (std::size_t k = 0; k < startEstimates_.size(); ++k) {
        const double readAt = startEstimates_[k] + static_cast<double>((k + 1) * (rate_ / 1000)) / rate_;
        if (readAt > Seconds(from) - 2.0 && readAt < Seconds(to) + 2.0) near.push_back(startEstimates_[k]);
      }
      if (!near.empty()) {
        std::nth_element(near.begin(), near.begin() + static_cast<std::ptrdiff_t>(near.size() / 2), near.end());
        start_ = near[near.size() / 2];
      }
      if (!near.empty() && !samples_.empty() && TimeOf(samples_.size()) > to) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::lock_guard lock(mutex_);
  const auto indexOf = [&](Clock::time_point t) {
    const double at = (Seconds(t) - start_) * rate_;
    return static_cast<std::size_t>(std::clamp<double>(at, 0, static_cast<double>(samples_.size())));
  };
  const std::size_t begin = indexOf(from), end = indexOf(to);
  const std::size_t quietFrom = indexOf(from - quietBefore);
  for (std::size_t i = quietFrom; i < begin; ++i) {
    if (std::abs(samples_[i]) >= threshold) return std::nullopt;
  }
  for (std::size_t i = begin; i < end; ++i) {
    if (std::abs(samples_[i]) >= threshold) return TimeOf(i);
  }
  return std::nullopt;
}

}  // namespace tonefield::testing
