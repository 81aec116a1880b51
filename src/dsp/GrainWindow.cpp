#include "dsp/GrainWindow.h"

#include <algorithm>

#include "common/Constants.h"

namespace tonefield {

GrainShape GrainShapeForRate(std::uint32_t sampleRate) {
  GrainShape grain;
  grain.length = sampleRate / kGrainsPerSecond;
  grain.half = grain.length / 2;
  return grain;
}

GrainWindow::GrainWindow(const GrainShape& grain, std::uint64_t sampleCount)
    : half_(grain.half) {
  const auto half = static_cast<double>(grain.half);
  rising_.resize(std::min({sampleCount, grain.half, grain.length}));
  for (std::uint64_t n = 0; n < rising_.size(); ++n) rising_[n] = static_cast<double>(n) / half;
  const std::uint64_t fallingEnd = std::min(grain.half + sampleCount, grain.length);
  falling_.resize(fallingEnd > grain.half ? fallingEnd - grain.half : 0);
  for (std::uint64_t i = 0; i < falling_.size(); ++i) {
    falling_[i] = 1.0 - static_cast<double>(i) / half;  // n − half = i
  }
}

}  // namespace tonefield
