// The chi-square distribution and its upper critical values from the incomplete gamma function.
#include "chi_square_quantile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "prog_par.h"

namespace tarvo::chisq {
namespace {

std::string ThreeDecimals(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

TEST(ChiSquareQuantile, MatchesPublishedTableEntries) {
  struct Entry {
    int degrees;
    double level;
    const char* value;
  };
  const Entry entries[] = {
      {1, 0.05, "3.841"},   {2, 0.05, "5.991"},     {1, 0.01, "6.635"},     {1, 0.001, "10.828"},
      {1, 0.005, "7.879"},  {10, 0.05, "18.307"},   {30, 0.05, "43.773"},   {30, 0.001, "59.703"},
      {70, 0.05, "90.531"}, {70, 0.001, "112.317"}, {100, 0.05, "124.342"}, {100, 0.001, "149.449"},
  };
  for (const Entry& e : entries) {
    EXPECT_EQ(ThreeDecimals(ChiSquareUpperQuantile(e.degrees, e.level)), e.value)
        << e.degrees << " degrees of freedom at " << e.level;
  }
}

// With two degrees of freedom the tail is exp(-x/2), so the critical value is -2 ln(level).
TEST(ChiSquareQuantile, TwoDegreesOfFreedomHaveClosedForm) {
  for (const double level : {0.5, 0.1, 0.05, 0.01, 0.005, 0.001, 1e-10}) {
    const double exact = -2.0 * std::log(level);
    EXPECT_NEAR(ChiSquareUpperQuantile(2, level), exact, 1e-14 * exact) << level;
  }
}

TEST(ChiSquareQuantile, TailAtTheQuantileGivesBackTheLevel) {
  for (const double level : ProgParLevels()) {
    for (const int f : ProgParDegreesOfFreedom()) {
      const double x = ChiSquareUpperQuantile(f, level);
      EXPECT_NEAR(ChiSquareUpperTail(f, x), level, 1e-13 * level) << f << " at " << level;
      EXPECT_NEAR(RegularizedGammaP(0.5 * f, 0.5 * x), 1.0 - level, 1e-13) << f << " at " << level;
    }
  }
  // Far from the table's range too: fractional and large degrees of freedom, levels near 1.
  for (const double f : {0.3, 2.5, 250.0, 5000.0}) {
    for (const double level : {1e-12, 0.3, 0.999}) {
      const double x = ChiSquareUpperQuantile(f, level);
      EXPECT_NEAR(ChiSquareUpperTail(f, x), level, 1e-11 * level) << f << " at " << level;
    }
  }
}

TEST(ChiSquareQuantile, GrowsWithDegreesOfFreedomAndFallsWithLevel) {
  const auto& levels = ProgParLevels();  // strictly increasing
  for (int f = 1; f <= 70; ++f) {
    EXPECT_LT(ChiSquareUpperQuantile(f, 0.05), ChiSquareUpperQuantile(f + 1, 0.05)) << f;
    for (size_t i = 1; i < levels.size(); ++i) {
      EXPECT_GT(ChiSquareUpperQuantile(f, levels[i - 1]), ChiSquareUpperQuantile(f, levels[i]))
          << f;
    }
  }
}

TEST(ChiSquareQuantile, RefusesArgumentsOutsideTheDistribution) {
  EXPECT_TRUE(std::isnan(ChiSquareUpperQuantile(0, 0.05)));
  EXPECT_TRUE(std::isnan(ChiSquareUpperQuantile(-3, 0.05)));
  EXPECT_TRUE(std::isnan(ChiSquareUpperQuantile(5, 0.0)));
  EXPECT_TRUE(std::isnan(ChiSquareUpperQuantile(5, 1.0)));
  EXPECT_TRUE(std::isnan(ChiSquareUpperQuantile(5, std::nan(""))));
  EXPECT_TRUE(std::isnan(RegularizedGammaQ(0.0, 1.0)));
  EXPECT_TRUE(std::isnan(RegularizedGammaP(1.0, -1.0)));
}

// Closed forms check both branches (series below a + 1, continued fraction above):
// Q(1, x) = exp(-x), Q(1/2, x) = erfc(sqrt x), and for whole a the Poisson sum. The relative
// error grows with x, as the factor x^a e^-x is taken as the exponential of a sum of size x.
TEST(RegularizedGamma, MatchesClosedForms) {
  for (const double x : {0.01, 0.7, 1.5, 2.0, 9.0, 40.0, 300.0}) {
    const double tolerance = 1e-15 * (x + 10);
    EXPECT_NEAR(RegularizedGammaQ(1.0, x), std::exp(-x), tolerance * std::exp(-x)) << x;
    const double erfc = std::erfc(std::sqrt(x));
    EXPECT_NEAR(RegularizedGammaQ(0.5, x), erfc, tolerance * erfc) << x;
  }
  for (const int a : {3, 10, 35}) {
    for (const double x : {0.5, 2.0, 9.5, 34.0, 36.0, 60.0, 120.0}) {
      double term = std::exp(-x);
      double sum = 0.0;
      for (int k = 0; k < a; ++k) {
        sum += term;
        term *= x / (k + 1);
      }
      EXPECT_NEAR(RegularizedGammaQ(a, x), sum, 1e-12 * sum) << a << ", " << x;
      EXPECT_NEAR(RegularizedGammaP(a, x) + RegularizedGammaQ(a, x), 1.0, 1e-14) << a << ", " << x;
    }
  }
}

TEST(RegularizedGamma, EndsOfTheRange) {
  EXPECT_EQ(RegularizedGammaP(2.5, 0.0), 0.0);
  EXPECT_EQ(RegularizedGammaQ(2.5, 0.0), 1.0);
  EXPECT_EQ(RegularizedGammaQ(2.5, INFINITY), 0.0);
  EXPECT_EQ(RegularizedGammaP(2.5, INFINITY), 1.0);
}

}  // namespace
}  // namespace tarvo::chisq
