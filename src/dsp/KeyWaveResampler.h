// The numerical stages of the key wave builder after normalisation:
// six-fold interpolation through the upsample filter, the crossfade window,
// and the two-head resampling of the shifted keys. Split out of the builder
// so each stage can be checked on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "dsp/GrainWindow.h"
#include "dsp/FirLowPass.h"

namespace tonefield {

// up[m] for m < 6·N: the zero-stuffed samples filtered through the 71 taps,
// accumulated in tap order in a double, clipped to ±32767 and truncated.
// Only the taps that meet real samples are evaluated (the skipped products
// are exact zeros). Writes out[0 .. 6·N) and nothing else; out must hold
// at least 6·N values.
void InterpolateSixFold(std::span<const std::int16_t> samples, const UpsampleFilter& filter,
                        std::span<std::int16_t> out);

// The same into a new buffer: 6·N values followed by trailingZeros zeros
// that stand for the silence after the signal.
std::vector<std::int16_t> InterpolateSixFold(std::span<const std::int16_t> samples,
                                             const UpsampleFilter& filter,
                                             std::size_t trailingZeros = 1);

// How far (6·N plus a zero tail) the heads of any key can read for a key of
// sampleCount outputs. An interpolated signal built with that many values
// is read by ResampleKeys in place.
std::size_t ResampleReach(const GrainShape& grain, std::size_t sampleCount);

// Step of key k through the interpolated signal: 6 · 2^((k − 12) / 12).
double KeyStep(int key);

// The loop that resamples: the fastest this processor runs (on x86, one
// compiled for SSE4.1 where the build's baseline lacks it and the processor
// has it), or the build's plain one. Both give the same samples.
enum class ResampleKernel { kFastest, kScalar };

// Fills the N-sample outputs of the shifted keys (key numbers 0..35) from
// the interpolated signal (the first 6·N values of InterpolateSixFold) with
// a window built for N. Head positions at or past 6·N read as 0: whatever
// follows the signal in interpolated is only used when it is all zeros as
// far as ResampleReach (otherwise the signal is copied). keys and outputs
// are parallel; every output holds N samples.
// Does nothing when the grain has no half, the signal is shorter than 6·N
// or a key is out of range.
void ResampleKeys(std::span<const std::int16_t> interpolated, const GrainWindow& window,
                  const GrainShape& grain, std::span<const int> keys,
                  std::span<std::int16_t* const> outputs, std::size_t sampleCount,
                  ResampleKernel kernel = ResampleKernel::kFastest);

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
