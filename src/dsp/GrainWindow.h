// The grains of the key wave resampler: length = rate / 5 samples (200 ms),
// half = length / 2, and the triangular crossfade window over a grain,
// weight(n) = n / half below half and 1 − (n − half) / half from half on.
// Two heads half a grain apart get weights that sum to one.
#pragma once

#include <cstdint>
#include <vector>

namespace tonefield {

struct GrainShape {
  std::uint64_t length = 0;
  std::uint64_t half = 0;
};
GrainShape GrainShapeForRate(std::uint32_t sampleRate);

// The window's weights as far as the heads of a key of sampleCount outputs
// can use them: n < min(sampleCount, length) on the rising side and
// half <= n < min(half + sampleCount, length) on the falling side. So its
// size stays within 2 · sampleCount whatever the rate. Needs half >= 1.
class GrainWindow {
 public:
  GrainWindow(const GrainShape& grain, std::uint64_t sampleCount);

  // n must lie in one of the two ranges above.
  double operator[](std::uint64_t n) const {
    return n < half_ ? rising_[n] : falling_[n - half_];
  }
  std::uint64_t RisingSize() const { return rising_.size(); }
  std::uint64_t FallingSize() const { return falling_.size(); }

 private:
  std::uint64_t half_;
  std::vector<double> rising_;
  std::vector<double> falling_;
};

}  // namespace tonefield
