// The chi-square distribution through the regularized incomplete gamma function, and its upper
// critical values, computed to full double precision with the standard library alone.
#pragma once

namespace tarvo::chisq {

// P(a, x) = gamma(a, x) / Gamma(a), the regularized lower incomplete gamma function, for a > 0
// and x >= 0. NaN for arguments outside that range.
double RegularizedGammaP(double a, double x);

// Q(a, x) = 1 - P(a, x), computed directly (not by subtraction) where it is small, so that it
// keeps its relative accuracy far into the upper tail.
double RegularizedGammaQ(double a, double x);

// Probability that a chi-square variable with `degreesOfFreedom` exceeds `value`: Q(f/2, value/2).
double ChiSquareUpperTail(double degreesOfFreedom, double value);

// The upper critical value: the x with ChiSquareUpperTail(degreesOfFreedom, x) = level, for
// degreesOfFreedom > 0 and 0 < level < 1. NaN for arguments outside that range.
double ChiSquareUpperQuantile(double degreesOfFreedom, double level);

}  // namespace tarvo::chisq
