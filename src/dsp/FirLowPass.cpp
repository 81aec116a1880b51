#include "dsp/FirLowPass.h"

#include <cmath>
#include <numbers>

namespace tonefield {

bool FirLowPass::DesignLowPass(std::int32_t taps, double* coefficients, double cutoff) {
  if (taps < 0 || taps / 2 > kGridSize || !std::isfinite(cutoff) ||
      cutoff * 128.0 >= kGridSize + 1.0 || (taps > 0 && coefficients == nullptr)) {
    return false;
  }
  // Pass-band bins; a cut-off at or below zero has none.
  const std::int32_t bins = cutoff > 0.0 ? static_cast<std::int32_t>(128.0 * cutoff) : 0;

  re_.fill(0.0);
  im_.fill(0.0);
  for (std::int32_t k = 0; k < bins; ++k) re_[static_cast<std::size_t>(k)] = 1.0 / cutoff;
  re_[0] = 0.0;  // no DC bin: the spectrum is one-sided from bin 1
  fft_.Transform(-kGridSize, re_.data(), im_.data());

  // Centre the (circularly symmetric) response on the middle tap.
  const std::int32_t centre = taps / 2;
  for (std::int32_t j = 0; j < centre; ++j) {
    coefficients[j] = re_[static_cast<std::size_t>(kGridSize - centre + j)];
  }
  for (std::int32_t j = 0; j < centre; ++j) {
    coefficients[centre + j] = re_[static_cast<std::size_t>(j)];
  }

  for (std::int32_t b = 0; b < taps; ++b) {
    const double window = 0.54 - 0.46 * std::cos(2.0 * std::numbers::pi * b / taps);
    coefficients[b] = window * coefficients[b] / 128.0;
  }
  return true;
}

UpsampleFilter DesignUpsampleFilter() {
  UpsampleFilter filter{};
  FirLowPass designer;
  designer.DesignLowPass(kFilterTaps, filter.data(), kFilterCutoff);
  return filter;
}

}  // namespace tonefield
