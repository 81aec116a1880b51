// Windowed FIR low-pass design by frequency sampling on a 256-point grid.
// The pass-band gain is 1 / cutoff, as an interpolator by that factor needs.
#pragma once

#include <array>
#include <cstdint>

#include "common/Constants.h"
#include "dsp/TFFT.h"

namespace tonefield {

using UpsampleFilter = std::array<double, kFilterTaps>;

class TFIRFilter {
 public:
  // Writes taps coefficients into coefficients (the caller passes a zeroed
  // array: with an odd count the last one is only windowed and scaled).
  // cutoff is the pass-band edge as a fraction of half the filter's rate.
  void DesignLowPass(std::int32_t taps, double* coefficients, double cutoff);

 private:
  TFFT fft_;
  std::array<double, 256> re_{};
  std::array<double, 256> im_{};
};

// The start-up design: 71 taps at cut-off 1/6.
UpsampleFilter DesignUpsampleFilter();

}  // namespace tonefield
