// AssignFolds and CrossValidate.
#include "cross_validation.h"

#include <cmath>
#include <string>

#include "prediction.h"
#include "tarvo/numbers.h"
#include "tree_growing.h"

namespace tarvo {

void AssignFolds(TRunState& run, int32_t k) {
  for (int32_t o = 1; o <= run.N(); ++o) run.FoldOf[o] = run.Random.Draw(k) + 1;
}

double TrainingSpread(const TRunState& run) {
  int32_t n = 0;
  double sum = 0.0, sumOfSquares = 0.0, first = 0.0;
  bool allEqual = true;
  for (int32_t o = 1; o <= run.N(); ++o) {
    if (!run.Active[o]) continue;
    const double y = run.TargetValue[o];
    if (n == 0) first = y;
    allEqual = allEqual && y == first;
    ++n;
    sum += y;
    sumOfSquares += y * y;
  }
  if (n < 2 || allEqual) return 0.0;
  const double mean = sum / n;
  const double variance = (sumOfSquares - n * (mean * mean)) / (n - 1);
  return variance > 0 ? std::sqrt(variance) : 0.0;
}

void WriteCrossValidationLines(TRunState& run, int32_t k, double error) {
  run.Report.EndLine();
  run.Report.Line(FormatInteger(k, 3) + "-fold " + (run.Target.RegressionMode ? " relative " : "") +
                  "crossvalidate error " + FormatReal(error, 5, 3));
}

double CrossValidate(TRunState& run, TTreeGrower& grower) {
  const int32_t k = run.Parameters.FoldsCrossValidate;
  const bool regression = run.Target.RegressionMode;
  double crossValidationError = 0.0;
  const std::vector<char> saved = run.Active;
  AssignFolds(run, k);
  TDataTable testData;
  for (int32_t fold = 1; fold <= k; ++fold) {
    int32_t testCount = 0, trainingCount = 0;
    for (int32_t o = 1; o <= run.N(); ++o) {
      if (!saved[o]) continue;
      if (run.FoldOf[o] == fold) {
        ++testCount;
      } else {
        ++trainingCount;
      }
    }
    for (int32_t o = 1; o <= run.N(); ++o) {
      if (run.FoldOf[o] == fold) run.Active[o] = 0;
    }
    const double spread = regression ? TrainingSpread(run) : 0.0;
    run.ShowProgress(
        2, " Variant " + std::to_string(run.VariantNumber) + " Fold " + std::to_string(fold));
    // A fold without training objects grows no tree and, like a fold without test objects, adds
    // nothing: a tree learned from nothing cannot be judged.
    if (trainingCount > 0) {
      run.Tree.NodesUsed = 0;
      run.Tree.BranchesUsed = 0;
      grower.GrowTree();
    }
    if (trainingCount > 0 && testCount > 0) {
      testData.assign(run.M() + 1, std::vector<double>(testCount + 1, 0.0));
      int32_t row = 0;
      for (int32_t o = 1; o <= run.N(); ++o) {
        if (run.FoldOf[o] != fold || !saved[o]) continue;
        ++row;
        for (int32_t c = 1; c <= run.M(); ++c) testData[c][row] = run.Table.Data[c][o];
      }
      double e = TestTreeInRoot(run, testData, testCount);
      if (regression) {
        // Relative to the spread of the training values; with no spread there is no scale: an
        // exact fold counts 0 and any other as bad as predicting the training mean.
        e = spread > 0 ? e / spread : (e == 0 ? 0.0 : 1.0);
      }
      crossValidationError += e * testCount / (testCount + trainingCount);
      if (run.TreeCount == 1) run.FirstTree.Folds.push_back({e, testCount});
    }
    run.Active = saved;
  }
  if (run.TreeCount == 1) run.FirstTree.CrossValidationError = crossValidationError;
  WriteCrossValidationLines(run, k, crossValidationError);
  return crossValidationError;
}

}  // namespace tarvo
