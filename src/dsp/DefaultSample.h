// The tone the program starts with: one second of a decaying 262 Hz tone
// with two octave overtones, 16-bit mono at 11025 Hz, 18-byte format block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/SourceSample.h"

namespace tonefield {

// Samples of the tone (one second at 11025 Hz).
constexpr std::size_t kDefaultSampleFrames = 11025;

// Fills format (18 bytes, cbSize 14) and data (22050 bytes). maySave is left
// false: the caller decides.
SourceSample MakeDefaultSample();

// The tone's 18-byte format block.
std::vector<std::uint8_t> DefaultSampleFormat();

}  // namespace tonefield
