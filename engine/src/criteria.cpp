#include "criteria.h"

#include <cmath>

namespace tarvo {

double NodeMean(const TRunState& run, const int32_t* objects, int32_t n) {
  double sum = 0.0;
  for (int32_t i = 0; i < n; ++i) sum += run.TargetValue[objects[i]];
  return sum / n;
}

double NodeDispersion(const TRunState& run, const int32_t* objects, int32_t n, double mean) {
  double sumOfSquares = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    const double y = run.TargetValue[objects[i]];
    sumOfSquares += y * y;
  }
  return sumOfSquares / n - mean * mean;
}

bool IsHomogeneous(const TRunState& run, int32_t u, double errorFrequency, double dispersion,
                   double mean) {
  if (run.Target.ClassificationMode)
    return run.Target.ErrorWeight * errorFrequency <= run.Parameters.Homogeneity;
  if (u == 1) return true;
  // Without the dispersion test a node stops only when its values agree.
  if (!run.DispersionTest) return !(dispersion > 0);
  if (mean == 0) return true;
  const double index = u * dispersion / mean;
  if (mean > 0) return index <= run.ChiSquareTable[u - 1];
  if (index == 0) return true;
  // The Monte-Carlo dispersion procedure: with a negative mean no cell is ever drawn, so every
  // trial sums the same u equal terms; one trial decides them all.
  double statistic = 0.0;
  const double term = (0.0 - mean) * (0.0 - mean) / mean;
  for (int32_t cell = 0; cell < u; ++cell) statistic += term;
  const int32_t counted =
      index <= statistic && run.Parameters.MonteCarlo > 0 ? run.Parameters.MonteCarlo : 0;
  return counted >= run.HomogeneityCount;
}

bool IsUnsplittable(const TRunState& run, const int32_t* objects, int32_t u,
                    const TFeatureMask& mask, int32_t excludedFeature) {
  const TDataTable& data = run.Table.Data;
  for (int32_t g = 1; g <= run.M(); ++g) {
    if (!mask[g] || g == excludedFeature) continue;
    const std::vector<double>& column = data[g];
    TKnownValueScan scan;
    for (int32_t i = 0; i < u; ++i) {
      if (scan.Differs(column[objects[i]])) return false;
    }
  }
  return true;
}

}  // namespace tarvo
