// In-place radix-2 complex FFT on parallel real/imaginary arrays, decimation
// in time. The sine and bit-reversal tables are built for a size and kept
// while the size stays the same.
#pragma once

#include <cstdint>
#include <vector>

namespace tonefield {

class Fft {
 public:
  // |size| = n, a power of two of at least 4. size > 0: forward, divided by n;
  // size < 0: inverse, not divided. re and im hold at least n values. Other
  // sizes (0, 1, 2, not a power of two, above 2^30) leave everything as it is.
  void Transform(std::int32_t size, double* re, double* im);

  const std::vector<double>& SineTable() const { return sineTable_; }
  const std::vector<std::int32_t>& BitReversalTable() const { return bitReversal_; }

 private:
  void BuildTables(std::int32_t n);

  std::int32_t size_ = 0;
  std::vector<double> sineTable_;          // n + n/4 entries
  std::vector<std::int32_t> bitReversal_;  // n entries
};

}  // namespace tonefield
