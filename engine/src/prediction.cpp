// WritePredictionSection and TestTreeInRoot.
#include "prediction.h"

#include <cmath>

#include "model_routing.h"
#include "tarvo/numbers.h"

namespace tarvo {

void WritePredictionSection(TRunState& run, const ModelTree& tree) {
  ReportFile& out = run.Report;
  const TTargetDescription& target = run.Target;
  const TDataTable& table = run.Table.PredictData;
  const bool classification = target.ClassificationMode;
  out.Line("############ PREDICTION  ##########");
  TestErrorSum error;
  const TTreeRouter router(tree);
  for (int32_t j = 1; j <= run.Table.PredictCount; ++j) {
    const double answer = AnswerOf(router.NodeReached(table, j), classification);
    run.Votes[j][run.TreeCount] = answer;
    out.Write("Object " + FormatInteger(j, 3) + "-> ");
    if (classification) {
      const int32_t p = static_cast<int32_t>(answer);
      out.Write(target.ClassName(p));
      const double t = table[target.ClassFeature][j];
      if (IsKnown(t)) {
        out.Write(" (true class= " + target.ClassName(static_cast<int32_t>(std::trunc(t))) + ")");
        error.AddClass(std::trunc(t) != p);
      }
    } else {
      out.Write(" " + FormatReal(answer, 6, 2));
      const double y = table[target.RegressionFeature][j];
      if (IsKnown(y)) {
        out.Write(" (true value= " + FormatReal(y, 5, 3) + ")");
        error.AddValue(answer, y);
      }
    }
    out.EndLine();
  }
  const TestError result = error.Result(classification);
  if (result.Known == 0) return;
  if (!result.Defined) {
    out.Line("Relative test error= undefined (true values are all equal)");
    return;
  }
  out.Line(std::string(classification ? "" : "Relative ") +
           "test error=" + FormatReal(result.Value, 5, 3));
}

double TestTreeInRoot(TRunState& run, const TDataTable& table, int32_t n) {
  if (n <= 0) return 0.0;
  const TTargetDescription& target = run.Target;
  const bool classification = target.ClassificationMode;
  const ModelTree tree = ModelTreeOf(*run.Root(), run.C());
  const TTreeRouter router(tree);
  double error = 0.0;
  for (int32_t j = 1; j <= n; ++j) {
    const double answer = AnswerOf(router.NodeReached(table, j), classification);
    if (classification) {
      if (std::trunc(table[target.ClassFeature][j]) != answer) error += 1;
    } else {
      const double residual = answer - table[target.RegressionFeature][j];
      error += residual * residual;
    }
  }
  return classification ? error / n : std::sqrt(error / n);
}

}  // namespace tarvo
