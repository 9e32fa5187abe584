// RouteObject and PredictObjects.
#include "prediction.h"

#include <cmath>

#include "tarvo/numbers.h"

namespace tarvo {

TTreeAnswer RouteObject(const TNodeRec& node, const TDataTable& table, int32_t object,
                        TBranchFinder& branches) {
  const TNodeRec* at = &node;
  for (;;) {
    if (!at->FirstBranch) break;
    const double x = table[at->Feature][object];
    if (!IsKnown(x)) break;
    const TBranchRec* taken = branches.Find(*at, x);
    if (!taken) break;
    at = taken->Child;
  }
  return TTreeAnswer{at->ClassCount, at->Mean};
}

double PredictObjects(TRunState& run, const TDataTable& table, int32_t n, bool report) {
  ReportFile& out = run.Report;
  const TTargetDescription& target = run.Target;
  if (report) out.Line("############ PREDICTION  ##########");
  double error = 0.0;
  int32_t known = 0;
  double sum = 0.0, sumOfSquares = 0.0;
  double firstKnown = 0.0;
  bool allEqual = true;  // the known true values, tested exactly: sums of equal decimals leave dust
  TBranchFinder branches;
  for (int32_t j = 1; j <= n; ++j) {
    const TTreeAnswer answer = RouteObject(*run.Root(), table, j, branches);
    if (target.ClassificationMode) {
      const int32_t p = MajorityClass(answer.ClassCount, run.C()).Class;
      const double t = table[target.ClassFeature][j];
      const int32_t code = run.Table.ValueTable[target.ClassFeature][p - 1].Code;
      const bool differs = std::trunc(t) != code;
      if (!report) {
        if (differs) error += 1;
        continue;
      }
      out.Write("Object " + FormatInteger(j, 3) + "-> " + target.ClassName(p));
      run.Votes[j][run.TreeCount] = p;
      if (IsKnown(t)) {
        ++known;
        out.Write(" (true class= " + target.ClassName(static_cast<int32_t>(std::trunc(t))) + ")");
        if (differs) error += 1;
      }
      out.EndLine();
    } else if (target.RegressionMode) {
      const double y = table[target.RegressionFeature][j];
      const double residual = answer.Mean - y;
      if (!report) {
        error += residual * residual;
        continue;
      }
      out.Write("Object " + FormatInteger(j, 3) + "-> " + " " + FormatReal(answer.Mean, 6, 2));
      run.Votes[j][run.TreeCount] = answer.Mean;
      if (IsKnown(y)) {
        if (known == 0) firstKnown = y;
        allEqual = allEqual && y == firstKnown;
        ++known;
        sum += y;
        sumOfSquares += y * y;
        out.Write(" (true value= " + FormatReal(y, 5, 3) + ")");
        error += residual * residual;
      }
      out.EndLine();
    }
  }
  if (!report) {
    if (n <= 0) return 0.0;
    return target.RegressionMode ? std::sqrt(error / n) : error / n;
  }
  if (known == 0) return 0.0;
  if (target.RegressionMode) {
    // The squared error relative to the spread of the known true values about their mean.
    const double spread = sumOfSquares - sum * sum / known;
    if (allEqual || !(spread > 0)) {
      out.Line("Relative test error= undefined (true values are all equal)");
      return 0.0;
    }
    error = std::sqrt(error / spread);
    out.Write("Relative ");
  } else {
    error = error / known;
  }
  out.Line("test error=" + FormatReal(error, 5, 3));
  return error;
}

}  // namespace tarvo
