#include "engine/OutputRing.h"

#include <bit>
#include <cstring>
#include <new>

namespace tonefield {

static_assert(std::endian::native == std::endian::little,
              "blocks are written as little-endian 16-bit samples");

OutputRing::OutputRing(WaveOutDevice& device, WaveOutListener& listener, RenderClient& client)
    : device_(device), listener_(listener), client_(client) {}

bool OutputRing::Allocate() {
  for (auto& buffer : buffers_) {
    if (buffer) continue;
    buffer.reset(new (std::nothrow) std::int16_t[kBlockBufferSamples]());
    if (!buffer) {
      Free();
      return false;
    }
  }
  return true;
}

void OutputRing::Free() {
  for (auto& buffer : buffers_) buffer.reset();
  for (auto& header : headers_) header = WaveHeader{};
}

std::span<const std::int16_t> OutputRing::BlockSamples(int block) const {
  if (!buffers_[block]) return {};
  return {buffers_[block].get(), static_cast<std::size_t>(blockLength_)};
}

void OutputRing::Report(std::string_view prefix, MmResult code) {
  std::string message(prefix);
  message += "\r\n\r\n";
  message += device_.ErrorText(code);
  client_.ReportError(message);
}

bool OutputRing::LayOut(std::uint32_t sampleRate) {
  const std::uint32_t length = sampleRate / kBlocksPerSecond;
  if (length == 0 || length > static_cast<std::uint32_t>(kBlockBufferSamples)) {
    client_.ReportError("サンプリングレート " + std::to_string(sampleRate) +
                        " Hz の音声は再生できません。");
    return false;
  }
  blockLength_ = static_cast<std::int32_t>(length);
  for (int i = 0; i < kRingBlocks; ++i) {
    std::memset(buffers_[i].get(), 0, static_cast<std::size_t>(blockLength_) * 2);
    headers_[i] = WaveHeader{};
    headers_[i].data = reinterpret_cast<std::uint8_t*>(buffers_[i].get());
    headers_[i].bufferLength = static_cast<std::uint32_t>(blockLength_) * 2;
  }
  return true;
}

bool OutputRing::Open(const WaveFormat& outputFormat, std::uint32_t sampleRate) {
  Close();
  if (!allocated()) {
    client_.ReportError("出力バッファがありません。");
    return false;
  }
  if (!LayOut(sampleRate)) return false;
  if (MmResult r = device_.Query(outputFormat); r != kMmSuccess) {
    Report("WAVE_FORMAT_QUERYエラー", r);
    return false;
  }
  ++generation_;
  if (MmResult r = device_.Open(outputFormat, listener_, generation_); r != kMmSuccess) {
    Report("waveOutOpenエラー", r);
    return false;
  }
  open_ = true;
  nextBlock_ = 0;
  for (int i = 0; i < kPrimingCalls; ++i) RenderBlock();
  return open_;
}

void OutputRing::Close() {
  if (!open_) return;
  // From here on, blocks the device hands back belong to a closed device.
  open_ = false;
  ++generation_;
  if (MmResult r = device_.Pause(); r != kMmSuccess) Report("WaveOutPauseエラー", r);
  if (MmResult r = device_.Reset(); r != kMmSuccess) Report("WaveOutResetエラー", r);
  if (MmResult r = device_.Close(); r != kMmSuccess) Report("WaveOutCloseエラー", r);
}

void OutputRing::RenderBlock() {
  // An error box shown half-way through a render lets a returned block ask
  // for the next render; it runs after this one so no block is used twice.
  if (rendering_) {
    ++deferredRenders_;
    return;
  }
  rendering_ = true;
  RenderOne();
  while (deferredRenders_ > 0) {
    --deferredRenders_;
    RenderOne();
  }
  rendering_ = false;
}

void OutputRing::RenderOne() {
  if (queuedBlocks_ >= kMaxQueuedBlocks || !open_) return;
  const int b = nextBlock_;
  WaveHeader& header = headers_[b];
  client_.FillBlock({buffers_[b].get(), static_cast<std::size_t>(blockLength_)});
  client_.BlockRendered({header.data, header.bufferLength});
  if (!open_) return;  // closed from inside the client
  if (MmResult r = device_.Prepare(header); r != kMmSuccess) {
    Report("waveOutPrepareHeaderエラー", r);
    return;
  }
  if (MmResult r = device_.Write(header); r != kMmSuccess) {
    // Not queued, so it never comes back: release it and count nothing.
    device_.Unprepare(header);
    Report("waveOutWriteエラー", r);
    return;
  }
  ++queuedBlocks_;
  nextBlock_ = (nextBlock_ + 1) % kRingBlocks;
}

int OutputRing::BlockIndexOf(const WaveHeader* header) const {
  for (int i = 0; i < kRingBlocks; ++i) {
    if (&headers_[i] == header) return i;
  }
  return -1;
}

void OutputRing::BlockDone(std::uint64_t generation, WaveHeader* header, bool feedStopped) {
  if (!open_ || generation != generation_ || BlockIndexOf(header) < 0) return;
  if (MmResult r = device_.Unprepare(*header); r != kMmSuccess) {
    Report("waveOutUnPrepareHeaderエラー", r);
    return;
  }
  if (queuedBlocks_ > 0) --queuedBlocks_;
  if (!feedStopped) RenderBlock();
}

}  // namespace tonefield
