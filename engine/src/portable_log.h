// The natural logarithm from IEEE basic operations alone, so that a run's scores do not depend on
// the platform's maths library: its log may round a value differently from one version to the
// next, and a score that rounds differently can turn a tie between two cuts.
#pragma once

#include <cmath>

namespace tarvo {

// ln x for a finite x > 0, within a few units in the last place of the true value; the same bits
// on every IEEE machine built without contraction.
inline double PortableLog(double x) {
  // x = m * 2^k with m in [sqrt(1/2), sqrt(2)); std::frexp only takes the exponent apart.
  int k = 0;
  double m = std::frexp(x, &k);
  if (m < 0.70710678118654752440) {
    m *= 2.0;
    --k;
  }
  // With f = m - 1 and s = f / (2 + f), ln m = 2 atanh(s) = f - s (f - R(s^2)), |s| < 0.172, where
  // R is the classic minimax polynomial of degree 7 for that range (error below 2^-58).
  const double f = m - 1.0;
  const double s = f / (2.0 + f);
  const double z = s * s;
  const double w = z * z;
  const double even = w * (3.999999999940941908e-01 +
                           w * (2.222219843214978396e-01 + w * 1.531383769920937332e-01));
  const double odd = z * (6.666666666666735130e-01 +
                          w * (2.857142874366239149e-01 +
                               w * (1.818357216161805012e-01 + w * 1.479819860511658591e-01)));
  const double r = odd + even;
  const double halfSquare = 0.5 * f * f;
  // ln 2 in two parts: the high part has its low bits clear, so k times it is exact.
  constexpr double kLn2High = 6.93147180369123816490e-01;
  constexpr double kLn2Low = 1.90821492927058770002e-10;
  const double exponent = static_cast<double>(k);
  return exponent * kLn2High - ((halfSquare - (s * (halfSquare + r) + exponent * kLn2Low)) - f);
}

}  // namespace tarvo
