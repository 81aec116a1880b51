#include "dsp/FirLowPass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <numeric>
#include <vector>

namespace tonefield {
namespace {

// The design written out: window × centred cosine sum / 128.
double ExpectedTap(int b, int taps, double cutoff) {
  const int bins = static_cast<int>(128 * cutoff);
  const int centre = taps / 2;
  double sum = 0;
  for (int k = 1; k < bins; ++k) sum += std::cos(2 * std::numbers::pi * k * (b - centre) / 256);
  const double window = 0.54 - 0.46 * std::cos(2 * std::numbers::pi * b / taps);
  return window * (1 / cutoff) * sum / 128;
}

double Magnitude(const UpsampleFilter& filter, double cyclesPerSample) {
  std::complex<double> sum = 0;
  for (int b = 0; b < kFilterTaps; ++b) {
    sum += filter[b] * std::polar(1.0, -2 * std::numbers::pi * cyclesPerSample * b);
  }
  return std::abs(sum);
}

TEST(FirLowPass, StartUpDesignGivesTheCheckValues) {
  const UpsampleFilter filter = DesignUpsampleFilter();
  EXPECT_NEAR(filter[35], 0.937078, 1e-6);
  EXPECT_NEAR(filter[34], 0.893857, 1e-6);
  EXPECT_NEAR(filter[36], 0.897085, 1e-6);
  EXPECT_NEAR(filter[0], -0.0061327, 1e-7);
  EXPECT_NEAR(filter[69], -0.0070117, 1e-7);
  EXPECT_EQ(filter[70], 0.0);  // the odd last tap gets no response value
  EXPECT_NEAR(std::accumulate(filter.begin(), filter.end(), 0.0), 5.0972, 1e-4);
  for (int b = 0; b < 70; ++b) {
    EXPECT_NEAR(filter[b], ExpectedTap(b, 71, kFilterCutoff), 1e-12) << "tap " << b;
    EXPECT_NE(filter[b], 0.0);
  }
}

TEST(FirLowPass, MagnitudeResponsePoints) {
  const UpsampleFilter filter = DesignUpsampleFilter();
  struct Point {
    double frequency, magnitude, tolerance;
  };
  const Point points[] = {{0.0, 5.10, 0.01},   {0.0195, 5.85, 0.02}, {0.039, 6.00, 0.02},
                          {0.059, 5.95, 0.02}, {0.078, 3.46, 0.03},  {1.0 / 12, 2.26, 0.02},
                          {0.094, 0.49, 0.03}, {0.1, 0.086, 0.005}};
  for (const Point& p : points) {
    EXPECT_NEAR(Magnitude(filter, p.frequency), p.magnitude, p.tolerance) << p.frequency;
  }
  for (double f = 0.125; f <= 0.5; f += 0.001) EXPECT_LT(Magnitude(filter, f), 0.017) << f;
}

TEST(FirLowPass, EvenTapCountFillsEveryCoefficient) {
  for (int taps : {8, 70}) {
    std::vector<double> coefficients(taps, 123.0);  // prefilled: must all be overwritten
    FirLowPass designer;
    ASSERT_TRUE(designer.DesignLowPass(taps, coefficients.data(), kFilterCutoff));
    for (int b = 0; b < taps; ++b) {
      EXPECT_NEAR(coefficients[b], ExpectedTap(b, taps, kFilterCutoff), 1e-12) << taps << "/" << b;
    }
  }
}

TEST(FirLowPass, OddLastCoefficientIsOnlyWindowedAndScaled) {
  std::vector<double> coefficients(71, 0.0);
  coefficients[70] = 1.0;
  FirLowPass designer;
  ASSERT_TRUE(designer.DesignLowPass(71, coefficients.data(), kFilterCutoff));
  const double window = 0.54 - 0.46 * std::cos(2 * std::numbers::pi * 70 / 71);
  EXPECT_DOUBLE_EQ(coefficients[70], window / 128);
}

TEST(FirLowPass, CutOffsWithoutPassBandGiveZeros) {
  for (double cutoff : {1.0 / 100, 1.0 / 64 - 1e-9, 0.0, -0.5}) {
    std::vector<double> coefficients(9, 0.0);
    coefficients[8] = 2.0;
    FirLowPass designer;
    ASSERT_TRUE(designer.DesignLowPass(9, coefficients.data(), cutoff)) << cutoff;
    for (int b = 0; b < 8; ++b) EXPECT_EQ(coefficients[b], 0.0) << cutoff;
    const double window = 0.54 - 0.46 * std::cos(2 * std::numbers::pi * 8 / 9);
    EXPECT_DOUBLE_EQ(coefficients[8], window * 2.0 / 128);
  }
}

TEST(FirLowPass, DesignsOffTheGridAreRefusedUntouched) {
  struct Case {
    int taps;
    double cutoff;
  };
  const Case cases[] = {{514, 0.5},     {-1, 0.5},     {8, 2.01},
                        {8, INFINITY},  {8, NAN},      {8, 1e300}};
  for (const Case& c : cases) {
    std::vector<double> coefficients(600, 7.0);
    FirLowPass designer;
    EXPECT_FALSE(designer.DesignLowPass(c.taps, coefficients.data(), c.cutoff)) << c.taps;
    for (double v : coefficients) ASSERT_EQ(v, 7.0);
  }
  // The widest designs that still fit are served.
  std::vector<double> coefficients(513, 0.0);
  FirLowPass designer;
  EXPECT_TRUE(designer.DesignLowPass(513, coefficients.data(), 2.0));
}

}  // namespace
}  // namespace tonefield
