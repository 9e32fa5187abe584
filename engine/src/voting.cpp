// VoteTrees: the voting section of the report.
#include <cmath>
#include <string>

#include "cross_validation.h"
#include "model_routing.h"
#include "tarvo/numbers.h"

namespace tarvo {

void VoteTrees(TRunState& run) {
  const int32_t trees = run.TreeCount;
  const bool regression = run.Target.RegressionMode;
  const TTargetDescription& target = run.Target;
  ReportFile& out = run.Report;

  // The same weights as a prediction by the run's model.
  const std::vector<double> weights = VotingWeights(run.KeptModel);
  out.EndLine();
  out.Line("###############Prediction################");
  out.Line("(Base trees voting)");
  out.Line("Competence:");
  for (int32_t t = 1; t <= trees; ++t) {
    out.Line(FormatInteger(t, 2) + " tree=" + FormatReal(weights[t - 1], 5, 3));
  }
  out.EndLine();

  const std::vector<double>& truth = run.Table.PredictData[run.Parameters.FeatureToPredict];
  TestErrorSum error;
  std::vector<double> votes(trees, 0.0);
  for (int32_t k = 1; k <= run.Table.PredictCount; ++k) {
    std::string line = FormatInteger(k, 3) + " object (Vote: ";
    for (int32_t t = 1; t <= trees; ++t) {
      votes[t - 1] = run.Votes[k][t];
      if (regression) {
        line += FormatReal(votes[t - 1], 5, 3) + "; ";
      } else {
        line += target.ClassName(static_cast<int32_t>(std::trunc(votes[t - 1]))) + " ";
      }
    }
    const double r = CombineVotes(!regression, run.C(), weights, votes);
    line += ") -> ";
    line += regression ? FormatReal(r, 5, 3) : target.ClassName(static_cast<int32_t>(r));
    const double y = truth[k];
    if (IsKnown(y)) {
      if (regression) {
        line += " (true value= " + FormatReal(y, 5, 3) + ")";
        error.AddValue(r, y);
      } else {
        line += " (true class= " + target.ClassName(static_cast<int32_t>(std::trunc(y))) + ")";
        error.AddClass(std::trunc(r) != std::trunc(y));
      }
    }
    out.Line(line);
  }
  const TestError result = error.Result(!regression);
  if (result.Known == 0) return;
  if (!result.Defined) {
    out.Line("Relative test error= undefined (true values are all equal)");
    return;
  }
  out.Line(std::string(regression ? "Relative " : "") +
           "test error= " + FormatReal(result.Value, 5, 3));
}

}  // namespace tarvo
