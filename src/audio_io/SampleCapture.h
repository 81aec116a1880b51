// A sample recorded from the input: three seconds of 16-bit mono at
// 11025 Hz in one buffer, trimmed to start 20 ms before the first loud
// sample (|s| > 3276) found in its first 16537 samples.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/SourceSample.h"
#include "common/WaveFormat.h"

namespace tonefield {

// PCM, mono, 11025 Hz, 22050 bytes/s, block align 2, 16 bits.
WaveFormat CaptureWaveFormat();
// The same as an 18-byte format block with cbSize 16: the recorded sample's format.
std::vector<std::uint8_t> CaptureFormatBlock();
// bits × rate / 8 × channels × 3: 66150 bytes for the capture format.
std::uint32_t CaptureBufferBytes(const WaveFormat& format);

// Index of the first sample with |s| > 3276 among the first
// bufferBytes / 4 samples (bounded by the buffer), or 0 when there is none.
std::uint32_t FindOnset(std::span<const std::uint8_t> buffer);
// Onset minus rate / 50 samples, floored at 0.
std::uint32_t TrimStart(std::uint32_t onset, std::uint32_t samplesPerSec);

// The recorded sample: the capture format block and the buffer from the trim
// start to its end; maySave set.
SourceSample MakeRecordedSample(std::span<const std::uint8_t> buffer);

}  // namespace tonefield
