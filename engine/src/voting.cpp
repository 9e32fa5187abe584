// VoteTrees and CombineVotes.
#include <cmath>
#include <string>

#include "cross_validation.h"
#include "tarvo/numbers.h"

namespace tarvo {

double CombineVotes(const TRunState& run, const std::vector<double>& votes) {
  const int32_t trees = static_cast<int32_t>(votes.size()) - 1;
  if (run.Target.ClassificationMode) {
    std::vector<double> score(run.C() + 1, 0.0);
    for (int32_t t = 1; t <= trees; ++t) {
      const int32_t c = static_cast<int32_t>(std::trunc(votes[t]));
      if (c >= 1 && c <= run.C()) score[c] += run.Competence[t];
    }
    int32_t best = 1;
    for (int32_t c = 2; c <= run.C(); ++c) {
      if (score[c] > score[best]) best = c;
    }
    return best;
  }
  double sum = 0.0;
  for (int32_t t = 1; t <= trees; ++t) sum += votes[t] * run.Competence[t];
  return sum;
}

void VoteTrees(TRunState& run) {
  const int32_t trees = run.TreeCount;
  const bool regression = run.Target.RegressionMode;
  const TTargetDescription& target = run.Target;
  ReportFile& out = run.Report;

  // Weights: the inverse of each tree's cross-validation error, normalized to sum 1. A tree that
  // was not cross-validated, or has no error, weighs as much as one with error 0.0001.
  for (int32_t t = 1; t <= trees; ++t) {
    double& c = run.Competence[t];
    c = run.Parameters.FoldsCrossValidate <= 0 || c <= 0.0001 ? 10000.0 : 1 / c;
  }
  double total = 0.0;
  for (int32_t t = 1; t <= trees; ++t) total += run.Competence[t];
  for (int32_t t = 1; t <= trees; ++t) run.Competence[t] /= total;

  out.EndLine();
  out.Line("###############Prediction################");
  out.Line("(Base trees voting)");
  out.Line("Competence:");
  for (int32_t t = 1; t <= trees; ++t) {
    out.Line(FormatInteger(t, 2) + " tree=" + FormatReal(run.Competence[t], 5, 3));
  }
  out.EndLine();

  const std::vector<double>& truth = run.Table.PredictData[run.Parameters.FeatureToPredict];
  int32_t counted = 0, errors = 0;
  double sum = 0.0, sumOfSquares = 0.0, squaredError = 0.0;
  double firstKnown = 0.0;
  bool allEqual = true;  // the known true values, tested exactly: sums of equal decimals leave dust
  std::vector<double> votes(trees + 1, 0.0);
  for (int32_t k = 1; k <= run.Table.PredictCount; ++k) {
    std::string line = FormatInteger(k, 3) + " object (Vote: ";
    for (int32_t t = 1; t <= trees; ++t) {
      votes[t] = run.Votes[k][t];
      if (regression) {
        line += FormatReal(votes[t], 5, 3) + "; ";
      } else {
        line += target.ClassName(static_cast<int32_t>(std::trunc(votes[t]))) + " ";
      }
    }
    const double r = CombineVotes(run, votes);
    line += ") -> ";
    line += regression ? FormatReal(r, 5, 3) : target.ClassName(static_cast<int32_t>(r));
    const double y = truth[k];
    if (IsKnown(y)) {
      if (counted == 0) firstKnown = y;
      allEqual = allEqual && y == firstKnown;
      ++counted;
      if (regression) {
        line += " (true value= " + FormatReal(y, 5, 3) + ")";
        sum += y;
        sumOfSquares += y * y;
        squaredError += (r - y) * (r - y);
      } else {
        line += " (true class= " + target.ClassName(static_cast<int32_t>(std::trunc(y))) + ")";
        if (std::trunc(r) != std::trunc(y)) ++errors;
      }
    }
    out.Line(line);
  }
  if (counted == 0) return;
  if (regression) {
    const double spread = sumOfSquares - sum * sum / counted;
    if (allEqual || !(spread > 0)) {
      out.Line("Relative test error= undefined (true values are all equal)");
      return;
    }
    out.Line("Relative test error= " + FormatReal(std::sqrt(squaredError / spread), 5, 3));
  } else {
    out.Line("test error= " + FormatReal(static_cast<double>(errors) / counted, 5, 3));
  }
}

}  // namespace tarvo
