// Windowed FIR low-pass design by frequency sampling on a 256-point grid.
// The pass-band gain is 1 / cutoff, as an interpolator by that factor needs.
#pragma once

#include <array>
#include <cstdint>

#include "common/Constants.h"
#include "dsp/Fft.h"

namespace tonefield {

using UpsampleFilter = std::array<double, kFilterTaps>;

class FirLowPass {
 public:
  // Writes taps coefficients into coefficients (the caller passes a zeroed
  // array: with an odd count the last one is only windowed and scaled).
  // cutoff is the pass-band edge as a fraction of half the filter's rate.
  // Returns false and writes nothing when the design does not fit the
  // 256-point grid: taps < 0, taps / 2 > 256, cutoff not finite or above 2.
  bool DesignLowPass(std::int32_t taps, double* coefficients, double cutoff);

  static constexpr std::int32_t kGridSize = 256;

 private:
  Fft fft_;
  std::array<double, kGridSize> re_{};
  std::array<double, kGridSize> im_{};
};

// The start-up design: 71 taps at cut-off 1/6.
UpsampleFilter DesignUpsampleFilter();

}  // namespace tonefield
