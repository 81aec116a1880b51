#include "dsp/Fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

namespace tonefield {
namespace {

TEST(Fft, SineTableFor16FollowsTheRecurrenceAndFolds) {
  Fft fft;
  std::vector<double> re(16, 0.0), im(16, 0.0);
  fft.Transform(16, re.data(), im.data());
  const double expected[] = {0,         0.382683,  0.707107,  0.923880, 1,         0.923880,
                             0.707107,  0.382683,  0,         -0.382683, -0.707107, -0.923880,
                             -1,        -0.923880, -0.707107, -0.382683, 0,         0,
                             0,         0};
  const auto& table = fft.SineTable();
  ASSERT_EQ(table.size(), 20u);
  for (std::size_t i = 0; i < table.size(); ++i) {
    EXPECT_NEAR(table[i], expected[i], 5e-7) << "entry " << i;
  }
  // Exact anchors: the octant end and the quadrant points are set, not computed.
  EXPECT_EQ(table[2], 0.7071067811865476);
  EXPECT_EQ(table[4], 1.0);
  EXPECT_EQ(table[12], -1.0);
  EXPECT_EQ(table[0], 0.0);
}

TEST(Fft, BitReversalTables) {
  struct Case {
    std::int32_t n;
    std::vector<std::int32_t> expected;
  };
  const Case cases[] = {
      {4, {0, 2, 1, 3}},
      {8, {0, 4, 2, 6, 1, 5, 3, 7}},
      {16, {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15}},
  };
  for (const Case& c : cases) {
    Fft fft;
    std::vector<double> re(c.n, 0.0), im(c.n, 0.0);
    fft.Transform(c.n, re.data(), im.data());
    EXPECT_EQ(fft.BitReversalTable(), c.expected) << "n = " << c.n;
  }
}

TEST(Fft, SineTableMatchesSineForLargerSizes) {
  for (std::int32_t n : {32, 256, 4096}) {
    Fft fft;
    std::vector<double> re(n, 0.0), im(n, 0.0);
    fft.Transform(n, re.data(), im.data());
    const auto& table = fft.SineTable();
    ASSERT_EQ(table.size(), static_cast<std::size_t>(n + n / 4));
    for (std::int32_t k = 0; k < n; ++k) {
      EXPECT_NEAR(table[k], std::sin(2 * std::numbers::pi * k / n), 1e-12) << n << "/" << k;
    }
    for (std::int32_t k = n; k < n + n / 4; ++k) EXPECT_EQ(table[k], 0.0);
  }
}

TEST(Fft, ImpulsesRoundTrip) {
  Fft fft;
  for (std::int32_t n : {4, 8, 256}) {
    std::vector<double> re(n, 0.0), im(n, 0.0);
    re[0] = 1.0;
    fft.Transform(n, re.data(), im.data());
    for (std::int32_t k = 0; k < n; ++k) {
      EXPECT_DOUBLE_EQ(re[k], 1.0 / n);
      EXPECT_EQ(im[k], 0.0);
    }
    std::fill(re.begin(), re.end(), 0.0);
    std::fill(im.begin(), im.end(), 0.0);
    re[0] = 1.0;
    fft.Transform(-n, re.data(), im.data());
    for (std::int32_t k = 0; k < n; ++k) {
      EXPECT_DOUBLE_EQ(re[k], 1.0);
      EXPECT_EQ(im[k], 0.0);
    }
  }
}

// Both directions against a direct sum, and forward then inverse restores the input.
TEST(Fft, MatchesDirectTransformAndInvertsExactly) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  Fft fft;
  for (std::int32_t n : {8, 64, 256}) {
    std::vector<double> re(n), im(n);
    for (auto& v : re) v = value(random);
    for (auto& v : im) v = value(random);
    const std::vector<double> re0 = re, im0 = im;

    fft.Transform(n, re.data(), im.data());
    for (std::int32_t k = 0; k < n; ++k) {
      std::complex<double> sum = 0;
      for (std::int32_t m = 0; m < n; ++m) {
        sum += std::complex<double>(re0[m], im0[m]) *
               std::polar(1.0, -2 * std::numbers::pi * k * m / n);
      }
      sum /= n;
      EXPECT_NEAR(re[k], sum.real(), 1e-12);
      EXPECT_NEAR(im[k], sum.imag(), 1e-12);
    }
    fft.Transform(-n, re.data(), im.data());
    for (std::int32_t m = 0; m < n; ++m) {
      EXPECT_NEAR(re[m], re0[m], 1e-12);
      EXPECT_NEAR(im[m], im0[m], 1e-12);
    }
  }
}

TEST(Fft, TablesAreKeptForTheSameSizeAndRebuiltForAnother) {
  Fft fft;
  std::vector<double> re(256, 0.0), im(256, 0.0);
  fft.Transform(256, re.data(), im.data());
  const double* sineData = fft.SineTable().data();
  const std::vector<double> sine256 = fft.SineTable();
  fft.Transform(-256, re.data(), im.data());
  EXPECT_EQ(fft.SineTable().data(), sineData);  // same storage, not rebuilt
  EXPECT_EQ(fft.SineTable(), sine256);

  fft.Transform(8, re.data(), im.data());
  EXPECT_EQ(fft.SineTable().size(), 10u);
  EXPECT_EQ(fft.BitReversalTable().size(), 8u);
  fft.Transform(-256, re.data(), im.data());
  EXPECT_EQ(fft.SineTable(), sine256);
}

TEST(Fft, UnservedSizesTouchNothing) {
  Fft fft;
  std::vector<double> re = {1, 2, 3, 4, 5, 6}, im = {6, 5, 4, 3, 2, 1};
  for (std::int32_t size : {0, 1, 2, -2, 3, 6, -6, INT32_MIN}) {
    fft.Transform(size, re.data(), im.data());
    EXPECT_EQ(re, (std::vector<double>{1, 2, 3, 4, 5, 6})) << size;
    EXPECT_EQ(im, (std::vector<double>{6, 5, 4, 3, 2, 1})) << size;
  }
  EXPECT_TRUE(fft.SineTable().empty());
}

}  // namespace
}  // namespace tonefield
