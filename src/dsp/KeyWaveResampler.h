// The numerical stages of the key wave builder after normalisation:
// six-fold interpolation through the upsample filter, the crossfade window,
// and the two-head resampling of the shifted keys. Split out of the builder
// so each stage can be checked on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "dsp/TFIRFilter.h"

namespace tonefield {

// Grain sizes from the sample rate: length = rate / 5 (200 ms), half = length / 2.
struct GrainShape {
  std::uint64_t length = 0;
  std::uint64_t half = 0;
};
GrainShape GrainShapeForRate(std::uint32_t sampleRate);

// up[m] for m < 6·N: the zero-stuffed samples filtered through the 71 taps,
// accumulated in tap order in a double, clipped to ±32767 and truncated.
// Only the taps that meet real samples are evaluated (the skipped products
// are exact zeros). The result holds 6·N values plus one trailing 0 that
// stands for the silence after the signal.
std::vector<std::int16_t> InterpolateSixFold(std::span<const std::int16_t> samples,
                                             const UpsampleFilter& filter);

// The rising-then-falling triangle, first `count` entries (count <= length;
// the heads never use more than half + N of them). Needs half >= 1.
std::vector<double> MakeGrainWindow(const GrainShape& grain, std::uint64_t count);

// Step of key k through the interpolated signal: 6 · 2^((k − 12) / 12).
double KeyStep(int key);

// Fills the N-sample outputs of the shifted keys from the interpolated
// signal (as returned by InterpolateSixFold). Head positions at or past 6·N
// read as 0. keys and outputs are parallel; every output holds N samples.
void ResampleKeys(std::span<const std::int16_t> interpolated, const std::vector<double>& window,
                  const GrainShape& grain, std::span<const int> keys,
                  std::span<std::int16_t* const> outputs, std::size_t sampleCount);

// The clip of the interpolation: above 32767 -> 32767, below -32767 ->
// -32767 (never -32768), otherwise truncated toward zero; NaN (only from a
// non-finite filter) -> 0.
inline std::int16_t ClipInterpolated(double sum) {
  if (sum > 32767.0) return 32767;
  if (sum < -32767.0) return -32767;
  if (sum != sum) return 0;
  return static_cast<std::int16_t>(static_cast<std::int32_t>(sum));
}

}  // namespace tonefield
