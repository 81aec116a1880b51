#include "dsp/Fft.h"

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <utility>

namespace tonefield {

void Fft::BuildTables(std::int32_t n) {
  const std::int32_t half = n / 2;
  const std::int32_t quarter = n / 4;
  const std::int32_t eighth = n / 8;

  sineTable_.assign(static_cast<std::size_t>(n + quarter), 0.0);
  bitReversal_.assign(static_cast<std::size_t>(n), 0);
  double* table = sineTable_.data();

  // First octant by the recurrence; dc and ds are the differences between
  // successive cosine and sine values.
  double t = std::sin(std::numbers::pi / n);
  double dc = 2.0 * t * t;
  double ds = std::sqrt((2.0 - dc) * dc);
  t = 2.0 * dc;
  double c = 1.0;
  table[quarter] = 1.0;
  double s = 0.0;
  table[0] = 0.0;
  for (std::int32_t i = 1; i < eighth; ++i) {
    c = c - dc;
    dc = dc + t * c;
    s = s + ds;
    ds = ds - t * s;
    table[i] = s;
    table[quarter - i] = c;
  }
  if (eighth != 0) table[eighth] = std::sqrt(0.5);
  // Fold the first quadrant into the whole period.
  for (std::int32_t i = 0; i < quarter; ++i) table[half - i] = table[i];
  for (std::int32_t i = 0; i < half; ++i) table[half + i] = -table[i];

  std::int32_t i = 0;
  std::int32_t j = 0;
  for (;;) {
    bitReversal_[static_cast<std::size_t>(i)] = j;
    ++i;
    if (i >= n) break;
    std::int32_t k = n / 2;
    while (k <= j && k > 0) {
      j -= k;
      k /= 2;
    }
    j += k;
  }
  size_ = n;
}

void Fft::Transform(std::int32_t size, double* re, double* im) {
  const bool inverse = size < 0;
  const std::int64_t magnitude = std::llabs(static_cast<long long>(size));
  // Outside the served sizes (powers of two from 4 up) nothing is touched.
  if (magnitude < 4 || magnitude > (std::int64_t{1} << 30) ||
      (magnitude & (magnitude - 1)) != 0 || re == nullptr || im == nullptr) {
    return;
  }
  const auto n = static_cast<std::int32_t>(magnitude);
  const std::int32_t quarter = n / 4;
  if (n != size_) BuildTables(n);
  const double* table = sineTable_.data();

  for (std::int32_t i = 0; i < n; ++i) {
    const std::int32_t j = bitReversal_[static_cast<std::size_t>(i)];
    if (i < j) {
      std::swap(re[i], re[j]);
      std::swap(im[i], im[j]);
    }
  }

  for (std::int32_t k = 1; k < n; k *= 2) {
    const std::int32_t k2 = 2 * k;
    const std::int32_t d = n / k2;
    std::int32_t h = 0;
    for (std::int32_t j = 0; j < k; ++j) {
      const double c = table[h + quarter];
      const double s = inverse ? -table[h] : table[h];
      for (std::int32_t i = j; i < n; i += k2) {
        const std::int32_t ik = i + k;
        const double dx = s * im[ik] + c * re[ik];
        const double dy = c * im[ik] - s * re[ik];
        re[ik] = re[i] - dx;
        re[i] = re[i] + dx;
        im[ik] = im[i] - dy;
        im[i] = im[i] + dy;
      }
      h += d;
    }
  }

  if (!inverse) {
    const double divisor = n;
    for (std::int32_t i = 0; i < n; ++i) {
      re[i] /= divisor;
      im[i] /= divisor;
    }
  }
}

}  // namespace tonefield
