#include "platform/pipewire/PipeWireWaveOut.h"

#include <pipewire/pipewire.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>

#include "common/SteadyClock.h"
#include "platform/pipewire/PipeWireFormat.h"

// PipeWire's and SPA's C macros expand to GNU statement expressions and
// compound literals, which this file's C++ takes from them.
#pragma GCC diagnostic ignored "-Wpedantic"
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wgnu-statement-expression"
#pragma clang diagnostic ignored "-Wc99-extensions"
#endif

namespace tonefield {

struct PipeWireWaveOut::Connection {
  pw_thread_loop* loop = nullptr;
  pw_context* context = nullptr;
  pw_core* core = nullptr;
  pw_stream* stream = nullptr;
  spa_hook coreListener{};
  spa_hook streamListener{};
  pw_core_events coreEvents{};
  pw_stream_events streamEvents{};
  PipeWireWaveOut* owner = nullptr;
  pw_stream_state state = PW_STREAM_STATE_CONNECTING;
  std::string error;
  std::atomic<bool> dropped{false};  // the server ended the stream or the connection
  // What the stream was made for; set before it exists, so the data
  // thread reads them without a race.
  std::uint32_t rate = 0;
  std::uint32_t buffer = 0;

  // Everything goes, the loop's thread stopped first so no event is running.
  ~Connection() {
    if (loop != nullptr) pw_thread_loop_stop(loop);
    if (stream != nullptr) pw_stream_destroy(stream);
    if (core != nullptr) pw_core_disconnect(core);
    if (context != nullptr) pw_context_destroy(context);
    if (loop != nullptr) pw_thread_loop_destroy(loop);
  }

  static void OnCoreError(void* data, std::uint32_t id, int, int res, const char* message) {
    auto* self = static_cast<Connection*>(data);
    // The connection to the daemon broke (it was killed or restarted).
    if (id == PW_ID_CORE && res == -EPIPE) {
      self->dropped.store(true, std::memory_order_relaxed);
      self->error = message != nullptr ? message : "connection lost";
    }
    pw_thread_loop_signal(self->loop, false);
  }

  static void OnStateChanged(void* data, pw_stream_state, pw_stream_state state, const char* error) {
    auto* self = static_cast<Connection*>(data);
    self->state = state;
    if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) {
      self->dropped.store(true, std::memory_order_relaxed);
      self->error = error != nullptr ? error : "stream error";
    }
    pw_thread_loop_signal(self->loop, false);
  }
};

PipeWireWaveOut::PipeWireWaveOut() = default;

PipeWireWaveOut::~PipeWireWaveOut() {
  Silence();
  connection_.reset();
  pending_.reset();
}

MmResult PipeWireWaveOut::Query(const WaveFormat& format) {
  if (!IsSdlPlayableFormat(format)) return errors_.Fail(kWaveBadFormat);
  return kMmSuccess;
}

MmResult PipeWireWaveOut::Open(const WaveFormat& format, std::uint32_t bufferSamples, AudioSource& source) {
  if (stream_ != nullptr) return errors_.FailWith(kMmError, "The sound device is already open.");
  if (!IsSdlPlayableFormat(format)) return errors_.Fail(kWaveBadFormat);
  const std::uint32_t rate = format.samplesPerSec;
  const std::uint32_t buffer = bufferSamples != 0 ? std::min<std::uint32_t>(bufferSamples, 32768)
                                                  : DefaultBufferSamples(rate);
  source_ = &source;
  rate_ = rate;
  bufferSamples_ = buffer;
  playing_.store(false);
  std::string why;
  const Connect outcome = pending_ ? Resume(why) : Connect::Failed;
  if (outcome == Connect::Waiting) {
    // The server still has not answered the last try: fail at once, so a
    // frozen server never holds the window at every reopen.
    source_ = nullptr;
    bufferSamples_ = 0;
    return errors_.FailWith(kMmBadDeviceId, kServerSilentText);
  }
  if (outcome != Connect::Ready && !StartConnection(why)) {
    source_ = nullptr;
    bufferSamples_ = 0;
    return errors_.FailWith(kMmBadDeviceId, why == kServerSilentText ? why : "PipeWire: " + why);
  }
  stream_ = connection_->stream;
  suspect_ = false;
  late_.Restart();
  return kMmSuccess;
}

PipeWireWaveOut::Connect PipeWireWaveOut::Resume(std::string& why) {
  pw_thread_loop_lock(pending_->loop);
  const pw_stream_state state = pending_->state;
  why = pending_->error;
  pw_thread_loop_unlock(pending_->loop);
  const bool same = pending_->rate == rate_ && pending_->buffer == bufferSamples_ &&
                    !pending_->dropped.load(std::memory_order_relaxed);
  if (same &&
      (state == PW_STREAM_STATE_PAUSED || state == PW_STREAM_STATE_STREAMING)) {
    connection_ = std::move(pending_);
    return Connect::Ready;
  }
  if (same && state == PW_STREAM_STATE_CONNECTING) {
    return Connect::Waiting;
  }
  pending_.reset();
  return Connect::Failed;
}

bool PipeWireWaveOut::StartConnection(std::string& why) {
  static std::once_flag once;
  std::call_once(once, [] { pw_init(nullptr, nullptr); });
  auto connection = std::make_unique<Connection>();
  connection->owner = this;
  connection->rate = rate_;
  connection->buffer = bufferSamples_;
  connection->loop = pw_thread_loop_new("tonefield-pipewire", nullptr);
  // The real-time module raises the data thread that calls Render.
  if (connection->loop != nullptr) {
    pw_loop* loop = pw_thread_loop_get_loop(connection->loop);
    connection->context = pw_context_new(loop, pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
    // Without PipeWire's own tools installed that file is missing.
    if (connection->context == nullptr) connection->context = pw_context_new(loop, nullptr, 0);
  }
  if (connection->context == nullptr || pw_thread_loop_start(connection->loop) < 0) {
    why = "no event loop";
    return false;
  }
  pw_thread_loop_lock(connection->loop);
  // The client's name in the mixer and in pw-top, as the stream's.
  connection->core = pw_context_connect(
      connection->context,
      pw_properties_new(PW_KEY_APP_NAME, kSdlAppName, PW_KEY_APP_ICON_NAME, "tonefield", nullptr), 0);
  if (connection->core == nullptr) {
    why = std::string("the server does not run (") + std::strerror(errno) + ")";
    pw_thread_loop_unlock(connection->loop);
    return false;
  }
  connection->coreEvents.version = PW_VERSION_CORE_EVENTS;
  connection->coreEvents.error = &Connection::OnCoreError;
  pw_core_add_listener(connection->core, &connection->coreListener, &connection->coreEvents, connection.get());

  pw_properties* props = pw_properties_new(
      PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE, "Music",
      PW_KEY_APP_NAME, kSdlAppName, PW_KEY_APP_ICON_NAME, "tonefield", PW_KEY_NODE_NAME, "tonefield",
      PW_KEY_NODE_DESCRIPTION, kSdlAppName, PW_KEY_MEDIA_NAME, kSdlAppName, nullptr);
  pw_properties_setf(props, PW_KEY_NODE_LATENCY, "%u/%u", bufferSamples_, rate_);
  connection->stream = pw_stream_new(connection->core, kSdlAppName, props);
  if (connection->stream == nullptr) {
    pw_thread_loop_unlock(connection->loop);
    why = "the stream was refused";
    return false;
  }
  connection->streamEvents.version = PW_VERSION_STREAM_EVENTS;
  connection->streamEvents.state_changed = &Connection::OnStateChanged;
  connection->streamEvents.process = &PipeWireWaveOut::Process;
  pw_stream_add_listener(connection->stream, &connection->streamListener, &connection->streamEvents,
                         connection.get());

  std::uint8_t podBuffer[512];
  spa_pod_builder builder = SPA_POD_BUILDER_INIT(podBuffer, sizeof podBuffer);
  const spa_pod* params[1] = {BuildMono16Format(builder, rate_)};
  const auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                                  PW_STREAM_FLAG_RT_PROCESS | PW_STREAM_FLAG_INACTIVE);
  const int connected = pw_stream_connect(connection->stream, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1);
  // Ready once the server made the node (paused until Start). After a
  // stall the server is given only a moment.
  const auto limit = suspect_ ? kSuspectOpenLimit : kServerOpenLimit;
  timespec until{};
  pw_thread_loop_get_time(connection->loop, &until, static_cast<std::int64_t>(limit.count()) * 1'000'000);
  bool timedOut = false;
  while (connected >= 0 && !timedOut && connection->state == PW_STREAM_STATE_CONNECTING &&
         !connection->dropped.load(std::memory_order_relaxed)) {
    timedOut = pw_thread_loop_timed_wait_full(connection->loop, &until) != 0;
  }
  const pw_stream_state state = connection->state;
  const std::string error = connection->error;
  pw_thread_loop_unlock(connection->loop);
  if (state == PW_STREAM_STATE_PAUSED || state == PW_STREAM_STATE_STREAMING) {
    connection_ = std::move(connection);
    return true;
  }
  if (connected >= 0 && state == PW_STREAM_STATE_CONNECTING &&
      !connection->dropped.load(std::memory_order_relaxed)) {
    // Kept: a later Open takes it over once the server answers.
    pending_ = std::move(connection);
    why = kServerSilentText;
    return false;
  }
  why = !error.empty() ? error : std::string(std::strerror(-std::min(connected, -1)));
  return false;
}

MmResult PipeWireWaveOut::Start() {
  if (stream_ == nullptr) return errors_.Fail(kMmInvalidHandle);
  stall_.Running(true, rate_ != 0 ? bufferSamples_ * 1000 / rate_ : 0);
  late_.Restart();
  playing_.store(true);
  pw_thread_loop_lock(connection_->loop);
  pw_stream_set_active(connection_->stream, true);
  pw_thread_loop_unlock(connection_->loop);
  return kMmSuccess;
}

void PipeWireWaveOut::Silence() {
  // Both sides use sequentially consistent order: the data thread marks
  // itself inside before it looks at playing_, so once playing_ is clear
  // here and rendering_ reads clear, no Render is running or will start.
  playing_.store(false);
  while (rendering_.load()) std::this_thread::yield();
}

MmResult PipeWireWaveOut::Stop() {
  if (stream_ == nullptr) return errors_.Fail(kMmInvalidHandle);
  stall_.Running(false);
  Silence();
  pw_thread_loop_lock(connection_->loop);
  pw_stream_set_active(connection_->stream, false);
  pw_thread_loop_unlock(connection_->loop);
  return kMmSuccess;
}

MmResult PipeWireWaveOut::Close() {
  if (stream_ == nullptr) return errors_.Fail(kMmInvalidHandle);
  if (stall_.stalled()) suspect_ = true;
  stall_.Running(false);
  Silence();
  // Nothing here waits for the server: a frozen one cannot hold the close.
  connection_.reset();
  stream_ = nullptr;
  source_ = nullptr;
  bufferSamples_ = 0;
  return kMmSuccess;
}

bool PipeWireWaveOut::Lost() {
  if (stream_ == nullptr) return false;
  return connection_->dropped.load(std::memory_order_relaxed) || stall_.Stalled();
}

std::string PipeWireWaveOut::AfterCallbackNote() const {
  return "the figure stops at the callback; PipeWire asks for each cycle's samples (a quantum of about " +
         std::to_string(rate_ != 0 ? bufferSamples_ * 1000 / rate_ : 0) +
         " ms) and plays them in that cycle, after its resampler and before the device's own latency";
}

void PipeWireWaveOut::Process(void* data) {
  auto* connection = static_cast<Connection*>(data);
  PipeWireWaveOut* out = connection->owner;
  pw_buffer* buffer = pw_stream_dequeue_buffer(connection->stream);
  if (buffer == nullptr) return;
  spa_data& plane = buffer->buffer->datas[0];
  auto* samples = static_cast<std::int16_t*>(plane.data);
  if (samples == nullptr) {
    pw_stream_queue_buffer(connection->stream, buffer);
    return;
  }
  // What the cycle needs; one buffer when the graph does not say.
  const std::uint64_t wanted = buffer->requested != 0 ? buffer->requested : connection->buffer;
  const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(plane.maxsize / 2, wanted));
  out->stall_.Called();
  out->rendering_.store(true);
  if (out->playing_.load()) {
    // Lateness on the graph's own clock: the time of the cycle as its
    // driver counts it. A driver woken late runs the cycles it missed at
    // once and loses nothing; a device that ran dry jumps ahead.
    pw_time time{};
    const bool timed = pw_stream_get_time_n(connection->stream, &time, sizeof time) == 0 && time.now > 0;
    out->late_.Called(timed ? time.now : SteadyNanoseconds(),
                      static_cast<std::int64_t>(count) * 1'000'000'000 / connection->rate);
    out->source_->Render({samples, count});
  } else {
    std::fill_n(samples, count, std::int16_t{0});
  }
  out->rendering_.store(false);
  plane.chunk->offset = 0;
  plane.chunk->stride = 2;
  plane.chunk->size = count * 2;
  pw_stream_queue_buffer(connection->stream, buffer);
}

}  // namespace tonefield
