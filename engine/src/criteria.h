// The statistics and tests that judge a node, a group of objects and a candidate partition.
#pragma once

#include <cmath>
#include <cstdint>

#include "portable_log.h"
#include "run_state.h"

namespace tarvo {

// Objects outside the majority class; 0 without classes. Inline, like SplitScore: the merge
// sequence calls both for every candidate union. The loop runs over every class slot (those
// beyond the run's classes stay 0), so that its length is fixed.
inline int32_t MajorityErrors(const TClassCounts& counts, int32_t classCount) {
  if (classCount <= 0) return 0;
  int32_t total = 0, largest = 0;
  for (int32_t c = 1; c <= kMaxClasses; ++c) {
    total += counts[c];
    largest = counts[c] > largest ? counts[c] : largest;
  }
  return total - largest;
}

// The errors of the majority class of a and b together, without storing their sum (the merge
// sequence asks this of every candidate union). The loop runs over a fixed number of class
// slots, 4, 8 or all of them, the fewest that hold the run's classes (the slots beyond stay 0).
template <int32_t kClassSlots>
inline int32_t UnionMajorityErrorsUpTo(const TClassCounts& a, const TClassCounts& b) {
  int32_t total = 0, largest = 0;
  for (int32_t c = 1; c <= kClassSlots; ++c) {
    const int32_t count = a[c] + b[c];
    total += count;
    largest = count > largest ? count : largest;
  }
  return total - largest;
}
inline int32_t UnionMajorityErrors(const TClassCounts& a, const TClassCounts& b,
                                   int32_t classCount) {
  if (classCount <= 0) return 0;
  if (classCount <= 4) return UnionMajorityErrorsUpTo<4>(a, b);
  if (classCount <= 8) return UnionMajorityErrorsUpTo<8>(a, b);
  return UnionMajorityErrorsUpTo<kMaxClasses>(a, b);
}

// Objects less the sum of their squared class counts over objects: the objects times the Gini
// impurity of their classes; 0 without classes.
inline double GiniImpurity(const TClassCounts& counts, int32_t classCount) {
  double objects = 0.0, squares = 0.0;
  for (int32_t c = 1; c <= classCount; ++c) {
    objects += counts[c];
    squares += static_cast<double>(counts[c]) * counts[c];
  }
  return objects > 0 ? objects - squares / objects : 0.0;
}

// Objects times the entropy of their classes in nats: the sum over classes of count x
// ln(objects / count); 0 without classes.
inline double EntropyImpurity(const TClassCounts& counts, int32_t classCount) {
  double objects = 0.0;
  for (int32_t c = 1; c <= classCount; ++c) objects += counts[c];
  double sum = 0.0;
  for (int32_t c = 1; c <= classCount; ++c) {
    if (counts[c] > 0) sum += counts[c] * PortableLog(objects / counts[c]);
  }
  return sum;
}

inline double Impurity(const TClassCounts& counts, int32_t classCount, TImpurity measure) {
  return measure == TImpurity::Entropy ? EntropyImpurity(counts, classCount)
                                       : GiniImpurity(counts, classCount);
}

// Adds the class counts of b to a, over every class slot.
inline void AddClassCounts(TClassCounts& a, const TClassCounts& b) {
  for (int32_t c = 1; c <= kMaxClasses; ++c) a[c] += b[c];
}

// The same over the fewest of 4, 8 or all class slots that hold classCount classes.
inline void AddClassCounts(TClassCounts& a, const TClassCounts& b, int32_t classCount) {
  if (classCount <= 4) {
    for (int32_t c = 1; c <= 4; ++c) a[c] += b[c];
  } else if (classCount <= 8) {
    for (int32_t c = 1; c <= 8; ++c) a[c] += b[c];
  } else {
    AddClassCounts(a, b);
  }
}

// Mean, and population variance as the mean of the squares minus the square of the mean, of the
// predicted value over objects[0..n-1], summed in list order.
double NodeMean(const TRunState& run, const int32_t* objects, int32_t n);
double NodeDispersion(const TRunState& run, const int32_t* objects, int32_t n, double mean);

// The mean and dispersion of two groups together, from their counts, means and dispersions.
inline double PooledMean(double countA, double meanA, double countB, double meanB) {
  return (countA * meanA + countB * meanB) / (countA + countB);
}
inline double PooledDispersion(double countA, double meanA, double spreadA, double countB,
                               double meanB, double spreadB, double pooledMean) {
  const double shiftA = meanA - pooledMean;
  const double shiftB = meanB - pooledMean;
  return (countA * (spreadA + shiftA * shiftA) + countB * (spreadB + shiftB * shiftB)) /
         (countA + countB);
}

// What merging two groups takes off the count-weighted dispersion of a partition: their weighted
// dispersions less the union's, in that order.
inline double MergedDispersionDelta(int32_t countA, double dispersionA, int32_t countB,
                                    double dispersionB, int32_t unionCount,
                                    double unionDispersion) {
  return static_cast<double>(countA) * dispersionA + static_cast<double>(countB) * dispersionB -
         static_cast<double>(unionCount) * unionDispersion;
}

// Lower is better: weighted relative dispersion and error frequency, leaves per object of the
// node (n) and the feature cost.
inline double SplitScore(const TRunState& run, int32_t leaves, double cost, double withinDispersion,
                         double errorFrequency, int32_t n) {
  if (!(withinDispersion > 0)) withinDispersion = 0;
  const double relative = run.RootDispersion == 0 ? 0.0 : withinDispersion / run.RootDispersion;
  return run.Target.DispersionWeight * relative + run.Target.ErrorWeight * errorFrequency +
         run.LeafWeight * leaves / n + run.CostWeight * cost;
}

// The homogeneity stop test for a group of u objects.
bool IsHomogeneous(const TRunState& run, int32_t u, double errorFrequency, double dispersion,
                   double mean);

// Reads a feature's values one by one and tells when a known value differs from the first known
// one, which is what makes a feature able to separate objects.
class TKnownValueScan {
 public:
  // Whether x is known and differs from the first known value read.
  bool Differs(double x) {
    if (!IsKnown(x)) return false;
    if (seen_) return x != first_;
    seen_ = true;
    first_ = x;
    return false;
  }

 private:
  bool seen_ = false;
  double first_ = 0.0;
};

// Whether no allowed feature other than excludedFeature separates the objects: every known value
// of each such feature equals the first known one.
bool IsUnsplittable(const TRunState& run, const int32_t* objects, int32_t u,
                    const TFeatureMask& mask, int32_t excludedFeature);

}  // namespace tarvo
