#include "audio_io/SampleCapture.h"

#include <algorithm>

#include "common/Constants.h"

namespace tonefield {

WaveFormat CaptureWaveFormat() { return Pcm16Mono(kCaptureRate); }

std::vector<std::uint8_t> CaptureFormatBlock() { return MakeWaveFormatEx(CaptureWaveFormat(), 16); }

std::uint32_t CaptureBufferBytes(const WaveFormat& format) {
  return static_cast<std::uint32_t>(format.bitsPerSample) * format.samplesPerSec / 8 *
         format.channels * static_cast<std::uint32_t>(kMaxSampleSeconds);
}

std::uint32_t FindOnset(std::span<const std::uint8_t> buffer) {
  // The first half of the buffer: 1.5 s of a three-second capture.
  const std::size_t searched = buffer.size() / 4;
  for (std::size_t i = 0; i < searched; ++i) {
    const auto sample = static_cast<std::int16_t>(ReadLe16(buffer.data() + 2 * i));
    const int magnitude = sample < 0 ? -static_cast<int>(sample) : static_cast<int>(sample);
    if (magnitude > kOnsetThreshold) return static_cast<std::uint32_t>(i);
  }
  return 0;
}

std::uint32_t TrimStart(std::uint32_t onset, std::uint32_t samplesPerSec) {
  const std::uint32_t leadIn = samplesPerSec / kBlocksPerSecond;
  return onset > leadIn ? onset - leadIn : 0;
}

SourceSample MakeRecordedSample(std::span<const std::uint8_t> buffer) {
  const std::uint32_t start = TrimStart(FindOnset(buffer), kCaptureRate);
  const std::size_t startByte = std::min<std::size_t>(2u * start, buffer.size());
  SourceSample sample;
  sample.format = CaptureFormatBlock();
  sample.data.assign(buffer.begin() + static_cast<std::ptrdiff_t>(startByte), buffer.end());
  sample.maySave = true;
  return sample;
}

}  // namespace tonefield
