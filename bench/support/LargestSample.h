// The largest sample the loader accepts, for the speed measurements: three
// seconds of 44.1 kHz 16-bit stereo, a decaying two-note chord with a little
// noise (so no stretch of it is silent or periodic).
#pragma once

#include <cmath>
#include <cstdint>

#include "common/SourceSample.h"
#include "common/WaveFormat.h"

namespace tonefield::bench {

inline SourceSample LargestSample() {
  constexpr std::uint32_t kRate = 44100;
  constexpr std::uint32_t kFrames = kRate * 3;
  SourceSample sample;
  sample.format = MakeWaveFormatEx({kWaveFormatPcm, 2, kRate, kRate * 4, 4, 16}, 0);
  sample.data.resize(static_cast<std::size_t>(kFrames) * 4);
  std::uint32_t noise = 12345;
  for (std::uint32_t i = 0; i < kFrames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double envelope = 12000.0 * std::exp(-1.5 * t);
    noise = noise * 1664525u + 1013904223u;
    const double hiss = static_cast<double>(static_cast<std::int32_t>(noise >> 16) - 32768) / 64.0;
    const auto left = static_cast<std::int16_t>(envelope * std::sin(2 * M_PI * 261.6 * t) + hiss);
    const auto right = static_cast<std::int16_t>(envelope * std::sin(2 * M_PI * 329.6 * t) - hiss);
    WriteLe16(&sample.data[4 * std::size_t{i}], static_cast<std::uint16_t>(left));
    WriteLe16(&sample.data[4 * std::size_t{i} + 2], static_cast<std::uint16_t>(right));
  }
  return sample;
}

}  // namespace tonefield::bench
