#include "app/PerformanceTapWriter.h"

#include <bit>
#include <chrono>

namespace tonefield {

namespace {

constexpr auto kWriterPeriod = std::chrono::milliseconds(10);

std::span<const std::uint8_t> Bytes(std::span<const std::int16_t> samples) {
  static_assert(std::endian::native == std::endian::little, "samples are written as they lie in memory");
  return {reinterpret_cast<const std::uint8_t*>(samples.data()), samples.size() * 2};
}

}  // namespace

PerformanceTapWriter::PerformanceTapWriter(LiveChannels& channels, std::function<void()> notify)
    : channels_(channels), notify_(std::move(notify)) {}

PerformanceTapWriter::~PerformanceTapWriter() { (void)Stop(); }

RecorderResult PerformanceTapWriter::Start(const std::string& folder, const std::string& stem,
                                           const WaveFormat& format, std::uint64_t generation) {
  (void)Stop();
  std::lock_guard lock(mutex_);
  // Chunks of an earlier recording still in the FIFO are not this one's.
  TapChunk stale;
  while (channels_.tap.try_dequeue(stale)) {
  }
  RecorderResult started = recorder_.StartInFolder(folder, stem, format);
  if (!started.ok) return started;
  generation_ = generation;
  format_ = format;
  block_.assign(format.samplesPerSec / kBlocksPerSecond > 0 ? format.samplesPerSec / kBlocksPerSecond : 1, 0);
  filled_ = 0;
  droppedAtStart_ = channels_.droppedTapSamples.load();
  selfStop_.reset();
  quit_ = false;
  thread_ = std::thread([this] { Run(); });
  return started;
}

void PerformanceTapWriter::Run() {
  std::unique_lock lock(mutex_);
  while (!quit_) {
    DrainLocked();
    wakeWriter_.wait_for(lock, kWriterPeriod, [this] { return quit_; });
  }
}

void PerformanceTapWriter::AppendLocked(std::span<const std::int16_t> samples, const WaveFormat& format) {
  const AppendResult appended = recorder_.Append(Bytes(samples), format);
  if (appended.stopped) StopLocked(appended.stop);
}

void PerformanceTapWriter::StopLocked(RecorderResult result) {
  filled_ = 0;
  if (!selfStop_) selfStop_ = std::move(result);
  if (notify_) notify_();
}

void PerformanceTapWriter::DrainLocked() {
  if (!recorder_.IsActive()) {
    TapChunk skipped;
    while (channels_.tap.try_dequeue(skipped)) {
    }
    return;
  }
  if (channels_.droppedTapSamples.load() != droppedAtStart_) {
    // The FIFO overflowed: end the file with what was played before the gap.
    if (filled_ > 0) AppendLocked({block_.data(), filled_}, format_);
    if (recorder_.IsActive()) StopLocked(recorder_.Stop());
    return;
  }
  TapChunk chunk;
  while (recorder_.IsActive() && channels_.tap.try_dequeue(chunk)) {
    if (chunk.generation != generation_) continue;
    std::span<const std::int16_t> samples(chunk.samples.data(), chunk.count);
    if (chunk.rate != format_.samplesPerSec) {
      // Another output rate: the file keeps one format, so it ends here.
      if (filled_ > 0) AppendLocked({block_.data(), filled_}, format_);
      if (recorder_.IsActive()) AppendLocked(samples, Pcm16Mono(chunk.rate));
      return;
    }
    while (!samples.empty() && recorder_.IsActive()) {
      const std::size_t take = std::min(samples.size(), block_.size() - filled_);
      std::copy_n(samples.begin(), take, block_.begin() + static_cast<std::ptrdiff_t>(filled_));
      filled_ += take;
      samples = samples.subspan(take);
      if (filled_ == block_.size()) {
        filled_ = 0;
        AppendLocked(block_, format_);
      }
    }
  }
}

void PerformanceTapWriter::Flush() {
  std::lock_guard lock(mutex_);
  DrainLocked();
}

RecorderResult PerformanceTapWriter::Stop() {
  if (thread_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    wakeWriter_.notify_all();
    thread_.join();
  }
  std::lock_guard lock(mutex_);
  if (recorder_.IsActive()) {
    DrainLocked();
    if (recorder_.IsActive() && filled_ > 0) AppendLocked({block_.data(), filled_}, format_);
    filled_ = 0;
    if (recorder_.IsActive()) return recorder_.Stop();
  }
  // It had ended by itself (the limit, a failed write): that stop's outcome.
  RecorderResult result = selfStop_.value_or(RecorderResult{});
  selfStop_.reset();
  return result;
}

bool PerformanceTapWriter::IsActive() {
  std::lock_guard lock(mutex_);
  return recorder_.IsActive();
}

int PerformanceTapWriter::BlockCount() {
  std::lock_guard lock(mutex_);
  return recorder_.BlockCount();
}

std::string PerformanceTapWriter::Path() {
  std::lock_guard lock(mutex_);
  return recorder_.Path();
}

std::optional<RecorderResult> PerformanceTapWriter::TakeSelfStop() {
  std::lock_guard lock(mutex_);
  std::optional<RecorderResult> result;
  result.swap(selfStop_);
  return result;
}

}  // namespace tonefield
