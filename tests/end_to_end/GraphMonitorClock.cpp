#include "end_to_end/GraphMonitorClock.h"

#include <pipewire/pipewire.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "platform/pipewire/PipeWireFormat.h"

// PipeWire's C macros use GNU statement expressions and compound literals.
#pragma GCC diagnostic ignored "-Wpedantic"
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wgnu-statement-expression"
#pragma clang diagnostic ignored "-Wc99-extensions"
#endif

namespace tonefield::testing {

struct GraphMonitorClock::Stream {
  pw_thread_loop* loop = nullptr;
  pw_stream* stream = nullptr;
  spa_hook listener{};
  pw_stream_events events{};
  ~Stream() { Close(); }
  void Close() {
    if (loop != nullptr) pw_thread_loop_stop(loop);
    if (stream != nullptr) pw_stream_destroy(stream);
    stream = nullptr;
    if (loop != nullptr) pw_thread_loop_destroy(loop);
    loop = nullptr;
  }
};

GraphMonitorClock::GraphMonitorClock(const std::string& sink, std::uint32_t rate)
    : rate_(rate), stream_(std::make_unique<Stream>()) {
  // Room for two minutes: the graph's thread does not allocate meanwhile.
  samples_.reserve(static_cast<std::size_t>(rate) * 120);
  cycles_.reserve(static_cast<std::size_t>(rate) * 120 / 32);
  pw_init(nullptr, nullptr);
  stream_->loop = pw_thread_loop_new("monitor-clock", nullptr);
  stream_->events.version = PW_VERSION_STREAM_EVENTS;
  stream_->events.process = &GraphMonitorClock::Process;
  pw_properties* props = pw_properties_new(
      PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_TARGET_OBJECT, sink.c_str(),
      PW_KEY_STREAM_CAPTURE_SINK, "true", PW_KEY_NODE_NAME, "tonefield-monitor-clock", nullptr);
  pw_properties_setf(props, PW_KEY_NODE_LATENCY, "256/%u", rate);
  stream_->stream = pw_stream_new_simple(pw_thread_loop_get_loop(stream_->loop), "monitor clock", props,
                                         &stream_->events, this);
  if (stream_->stream == nullptr) {
    error_ = "cannot make a capture stream";
    return;
  }
  std::uint8_t podBuffer[512];
  spa_pod_builder builder = SPA_POD_BUILDER_INIT(podBuffer, sizeof podBuffer);
  const spa_pod* params[1] = {BuildMono16Format(builder, rate)};
  const auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                                  PW_STREAM_FLAG_RT_PROCESS);
  if (pw_stream_connect(stream_->stream, PW_DIRECTION_INPUT, PW_ID_ANY, flags, params, 1) < 0 ||
      pw_thread_loop_start(stream_->loop) < 0) {
    error_ = "cannot record " + sink;
    return;
  }
  // Running once the first cycles arrived.
  for (int i = 0; i < 300; ++i) {
    {
      std::lock_guard lock(mutex_);
      if (cycles_.size() > 10) return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  error_ = "no sound from " + sink + "'s monitor";
}

// Closed while stream_ still points at the stream: the graph's thread
// calls Process until pw_stream_destroy returns.
GraphMonitorClock::~GraphMonitorClock() { stream_->Close(); }

void GraphMonitorClock::Process(void* data) {
  auto* self = static_cast<GraphMonitorClock*>(data);
  pw_buffer* buffer = pw_stream_dequeue_buffer(self->stream_->stream);
  if (buffer == nullptr) return;
  const spa_data& plane = buffer->buffer->datas[0];
  pw_time time{};
  if (plane.data != nullptr && plane.chunk != nullptr &&
      pw_stream_get_time_n(self->stream_->stream, &time, sizeof time) == 0 && time.now > 0) {
    // Within the buffer, whatever the chunk says.
    const std::uint32_t offset = std::min(plane.chunk->offset, plane.maxsize);
    const auto* samples = static_cast<const std::int16_t*>(plane.data) + offset / 2;
    const std::size_t count = std::min(plane.chunk->size, plane.maxsize - offset) / 2;
    std::lock_guard lock(self->mutex_);
    self->cycles_.push_back({time.now, self->samples_.size()});
    self->samples_.insert(self->samples_.end(), samples, samples + count);
  }
  pw_stream_queue_buffer(self->stream_->stream, buffer);
}

std::optional<GraphMonitorClock::Clock::time_point> GraphMonitorClock::Onset(Clock::time_point from,
                                                                            Clock::time_point to, int threshold,
                                                                            std::chrono::milliseconds quietBefore) {
  const auto ns = [](Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
  };
  for (int i = 0; i < 200; ++i) {
    {
      std::lock_guard lock(mutex_);
      if (!cycles_.empty() && cycles_.back().nowNs > ns(to)) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // The stretch asked for is copied out under the lock, kept short: the
  // graph's cycle waits on it.
  const std::int64_t quietFrom = ns(from - quietBefore), start = ns(from), end = ns(to);
  std::vector<Cycle> cycles;
  std::vector<std::int16_t> samples;
  {
    std::lock_guard lock(mutex_);
    auto first = std::lower_bound(cycles_.begin(), cycles_.end(), quietFrom,
                                  [](const Cycle& cycle, std::int64_t t) { return cycle.nowNs < t; });
    if (first != cycles_.begin()) --first;  // the cycle that holds quietFrom
    const auto last = std::lower_bound(first, cycles_.end(), end,
                                       [](const Cycle& cycle, std::int64_t t) { return cycle.nowNs < t; });
    if (first == last) return std::nullopt;
    const std::size_t begin = first->first;
    const std::size_t stop = last != cycles_.end() ? last->first : samples_.size();
    for (auto c = first; c != last; ++c) cycles.push_back({c->nowNs, c->first - begin});
    samples.assign(samples_.begin() + static_cast<std::ptrdiff_t>(begin),
                   samples_.begin() + static_cast<std::ptrdiff_t>(stop));
  }
  for (std::size_t c = 0; c < cycles.size(); ++c) {
    const std::size_t last = c + 1 < cycles.size() ? cycles[c + 1].first : samples.size();
    for (std::size_t i = cycles[c].first; i < last; ++i) {
      const std::int64_t at = cycles[c].nowNs + static_cast<std::int64_t>(i - cycles[c].first) * 1'000'000'000 / rate_;
      if (at < quietFrom || std::abs(samples[i]) < threshold) continue;
      if (at < start || at >= end) return std::nullopt;  // not quiet before the press, or too late
      return Clock::time_point(std::chrono::nanoseconds(at));
    }
  }
  return std::nullopt;
}

}  // namespace tonefield::testing
