#include "chi_square_quantile.h"

#include <cmath>
#include <limits>

namespace tarvo::chisq {

namespace {

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
constexpr double kTiny = std::numeric_limits<double>::min() / kEpsilon;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kMaxTerms = 100000;

// log of x^a e^-x / Gamma(a), the factor shared by the series and the continued fraction.
double LogPrefactor(double a, double x) {
  return a * std::log(x) - x - std::lgamma(a);
}

// P(a, x) by its power series; converges quickly for x < a + 1.
double LowerSeries(double a, double x) {
  double term = 1.0 / a;
  double sum = term;
  for (int n = 1; n < kMaxTerms; ++n) {
    term *= x / (a + n);
    sum += term;
    if (std::fabs(term) < std::fabs(sum) * kEpsilon) break;
  }
  return sum * std::exp(LogPrefactor(a, x));
}

// Q(a, x) by its continued fraction (modified Lentz); converges quickly for x >= a + 1.
double UpperContinuedFraction(double a, double x) {
  double b = x + 1.0 - a;
  double c = 1.0 / kTiny;
  double d = 1.0 / b;
  double h = d;
  for (int i = 1; i < kMaxTerms; ++i) {
    const double an = -i * (i - a);
    b += 2.0;
    d = an * d + b;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = b + an / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1.0 / d;
    const double delta = d * c;
    h *= delta;
    if (std::fabs(delta - 1.0) < kEpsilon) break;
  }
  return std::exp(LogPrefactor(a, x)) * h;
}

bool ValidArguments(double a, double x) {
  return a > 0.0 && x >= 0.0 && std::isfinite(a);
}

// Density of the chi-square distribution with f degrees of freedom at t > 0.
double ChiSquareDensity(double f, double t) {
  const double x = 0.5 * t;
  return 0.5 * std::exp(LogPrefactor(0.5 * f, x) - std::log(x));
}

}  // namespace

double RegularizedGammaP(double a, double x) {
  if (!ValidArguments(a, x)) return kNaN;
  if (x == 0.0) return 0.0;
  if (std::isinf(x)) return 1.0;
  return x < a + 1.0 ? LowerSeries(a, x) : 1.0 - UpperContinuedFraction(a, x);
}

double RegularizedGammaQ(double a, double x) {
  if (!ValidArguments(a, x)) return kNaN;
  if (x == 0.0) return 1.0;
  if (std::isinf(x)) return 0.0;
  return x < a + 1.0 ? 1.0 - LowerSeries(a, x) : UpperContinuedFraction(a, x);
}

double ChiSquareUpperTail(double degreesOfFreedom, double value) {
  return RegularizedGammaQ(0.5 * degreesOfFreedom, 0.5 * value);
}

double ChiSquareUpperQuantile(double degreesOfFreedom, double level) {
  if (!(degreesOfFreedom > 0.0) || !std::isfinite(degreesOfFreedom) || !(level > 0.0) ||
      !(level < 1.0)) {
    return kNaN;
  }
  const double f = degreesOfFreedom;
  // Bracket the root: the tail falls from 1 at 0 to 0 at infinity, so double an upper end
  // until its tail is below the level.
  double low = 0.0;
  double high = f > 1.0 ? f : 1.0;
  while (ChiSquareUpperTail(f, high) > level) {
    low = high;
    high *= 2.0;
  }
  // Newton's method on log Q, which is nearly linear in the upper tail, safeguarded as usual:
  // every evaluation narrows the bracket, and a step that would leave the bracket or that does
  // not at least halve the step before it becomes a bisection. It ends when the step falls to
  // the resolution of a double near the root.
  const double logLevel = std::log(level);
  double t = 0.5 * (low + high);
  double previousStep = high - low;
  for (int iteration = 0; iteration < 2000; ++iteration) {
    const double tail = ChiSquareUpperTail(f, t);
    if (tail == level) break;
    if (tail > level) {
      low = t;
    } else {
      high = t;
    }
    const double density = ChiSquareDensity(f, t);
    double next = low + 0.5 * (high - low);
    if (tail > 0.0 && density > 0.0) {
      // d(log Q)/dt = -density / Q.
      const double newton = t + (std::log(tail) - logLevel) * tail / density;
      if (newton > low && newton < high && std::fabs(newton - t) <= 0.5 * previousStep) {
        next = newton;
      }
    }
    const double step = std::fabs(next - t);
    t = next;
    previousStep = step;
    if (step <= 2.0 * kEpsilon * t) break;
  }
  return t;
}

}  // namespace tarvo::chisq
