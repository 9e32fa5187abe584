// Engine workloads: whole RunEngine calls on fixed synthetic tables, each in its own working
// folder. The table is written before timing starts; an iteration is one run and its report.
// The Smoke_ workloads take well under a second and are what CTest runs.
#include <benchmark/benchmark.h>

#include <string>

#include "run_folder.h"
#include "synthetic_table.h"

namespace {

using tarvo::RunParameters;
using tarvo::bench::RunFolder;
using tarvo::synthetic::TableShape;
using tarvo::synthetic::TargetKind;

// Counts the subtree searches of a run: growing shows " Node " and its running total on panel 1
// after every search.
class CountingProgress : public tarvo::ProgressSink {
 public:
  void SetPanelText(int panel, const std::string& text) override {
    if (panel == 1 && !text.empty()) ++searches;
  }
  void Repaint() override {}

  int64_t searches = 0;
};

TableShape Shape(TargetKind target, int32_t objects, int32_t columns, int32_t predictObjects,
                 uint64_t seed) {
  TableShape shape;
  shape.target = target;
  shape.objects = objects;
  shape.columns = columns;
  shape.nominalPredictors = target == TargetKind::kClasses;
  shape.predictObjects = predictObjects;
  shape.seed = seed;
  return shape;
}

RunParameters Parameters(double recursiveComplexity, int32_t featureToPredict, int32_t variants,
                         int32_t folds) {
  RunParameters p;
  p.TargetWeight = 1.0;
  p.RecursiveComplexity = recursiveComplexity;
  p.Homogeneity = 0.05;
  p.MonteCarlo = 100;
  p.VariantsNumber = variants;
  p.FeatureToPredict = featureToPredict;
  p.FoldsCrossValidate = folds;
  return p;
}

int64_t CountOccurrences(const std::string& text, const std::string& what) {
  int64_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

// A report of grown trees rather than an input fault or a refusal, and one with at least two
// rules: a one-node tree would not measure the search. Empty when it is fine.
std::string CheckReport(const std::string& report) {
  if (report.find("Recursive Complexity=") == std::string::npos) {
    return "the run did not grow a tree; report begins: " + report.substr(0, 120);
  }
  if (CountOccurrences(report, "\r\n THEN ") < 2) return "the table gave a one-node tree";
  return "";
}

// One workload: the table is written once, then every iteration is one complete run.
void BM_EngineRun(benchmark::State& state, TableShape shape, RunParameters parameters) {
  RunFolder folder;
  std::string error;
  if (!folder.Prepare(tarvo::synthetic::MakeTable(shape), &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  CountingProgress progress;
  for (auto _ : state) {
    if (!folder.Run(parameters, &progress, &error)) {
      state.SkipWithError(error.c_str());
      return;
    }
  }
  const std::string report = folder.ReadReport();
  error = CheckReport(report);
  if (!error.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["rules"] = static_cast<double>(CountOccurrences(report, "\r\n THEN "));
  state.counters["searches"] = static_cast<double>(progress.searches) / runs;
  state.counters["searches_rate"] =
      benchmark::Counter(static_cast<double>(progress.searches), benchmark::Counter::kIsRate);
}

// Two runs in one process must write the same bytes: no state may carry over between runs.
void BM_SameReportTwice(benchmark::State& state, TableShape shape, RunParameters parameters) {
  RunFolder folder;
  std::string error;
  if (!folder.Prepare(tarvo::synthetic::MakeTable(shape), &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  for (auto _ : state) {
    std::string reports[2];
    for (std::string& report : reports) {
      if (!folder.Run(parameters, nullptr, &error)) {
        state.SkipWithError(error.c_str());
        return;
      }
      report = folder.ReadReport();
    }
    error = CheckReport(reports[0]);
    if (!error.empty()) {
      state.SkipWithError(error.c_str());
      return;
    }
    if (reports[0] != reports[1]) {
      state.SkipWithError("two consecutive runs wrote different reports");
      return;
    }
  }
}

// The analysts' largest table: 500 objects, 58 predictors (every third nominal), 4 classes.
const TableShape kClasses500x59 = Shape(TargetKind::kClasses, 500, 59, 0, 0x7A4F0001);
const TableShape kClasses500x59Predict = Shape(TargetKind::kClasses, 500, 59, 100, 0x7A4F0001);
// Regression: 300 objects, 19 numeric predictors.
const TableShape kNumber300x20 = Shape(TargetKind::kNumber, 300, 20, 0, 0x7A4F0002);
// Small tables for the smoke runs.
const TableShape kClasses60x8 = Shape(TargetKind::kClasses, 60, 8, 0, 0x7A4F0003);
const TableShape kNumber60x8 = Shape(TargetKind::kNumber, 60, 8, 0, 0x7A4F0004);
const TableShape kClasses80x10Predict = Shape(TargetKind::kClasses, 80, 10, 20, 0x7A4F0005);
const TableShape kNumber80x10Predict = Shape(TargetKind::kNumber, 80, 10, 20, 0x7A4F0006);
// The default run's shapes: a regression table like the shared diabetes one (442 x 11), a
// classification table like wdbc (500 x 31).
const TableShape kNumber442x11 = Shape(TargetKind::kNumber, 442, 11, 0, 0x7A4F0008);
const TableShape kClasses500x31 = Shape(TargetKind::kClasses, 500, 31, 0, 0x7A4F0009);
// Deep look-ahead: 120 objects, 9 predictors, 4 classes; and a regression table of that size.
const TableShape kClasses120x10 = Shape(TargetKind::kClasses, 120, 10, 0, 0x7A4F0007);
const TableShape kNumber120x10 = Shape(TargetKind::kNumber, 120, 10, 0, 0x7A4F000A);

// One tree, no cross-validation, no prediction block.
BENCHMARK_CAPTURE(BM_EngineRun, Classes500x59_OneTree_Complexity1_0, kClasses500x59,
                  Parameters(1.0, 59, 1, 0))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);
BENCHMARK_CAPTURE(BM_EngineRun, Classes500x59_OneTree_Complexity2_0, kClasses500x59,
                  Parameters(2.0, 59, 1, 0))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_EngineRun, Number300x20_OneTree_Complexity2_0, kNumber300x20,
                  Parameters(2.0, 20, 1, 0))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_EngineRun, Number300x20_OneTree_Complexity2_5, kNumber300x20,
                  Parameters(2.5, 20, 1, 0))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// Look-ahead depth 3 with cross-validation: 10 folds, one variant.
BENCHMARK_CAPTURE(BM_EngineRun, Classes120x10_Complexity3_0_10Folds, kClasses120x10,
                  Parameters(3.0, 10, 1, 10))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_EngineRun, Number120x10_Complexity3_0_10Folds, kNumber120x10,
                  Parameters(3.0, 10, 1, 10))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// The complete default run: 10 folds, 3 variants, 100 objects to predict, the vote.
BENCHMARK_CAPTURE(BM_EngineRun, Classes500x59_DefaultRun_3Variants_10Folds, kClasses500x59Predict,
                  Parameters(1.0, 59, 3, 10))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// The default parameters (look-ahead 1, 10 folds, one variant): 11 trees, each a few hundred
// last-level searches; start-up and the report are a small part.
BENCHMARK_CAPTURE(BM_EngineRun, Number442x11_DefaultRun_10Folds, kNumber442x11,
                  Parameters(1.0, 11, 1, 10))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);
BENCHMARK_CAPTURE(BM_EngineRun, Classes500x31_DefaultRun_10Folds, kClasses500x31,
                  Parameters(1.0, 31, 1, 10))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(10);

// Quick runs for CTest: they go through every step of a run on small tables.
BENCHMARK_CAPTURE(BM_EngineRun, Smoke_Classes60x8_Complexity1_0, kClasses60x8,
                  Parameters(1.0, 8, 1, 0))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_EngineRun, Smoke_Number60x8_Complexity1_0, kNumber60x8,
                  Parameters(1.0, 8, 1, 0))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_SameReportTwice, Smoke_Classes80x10_Complexity2_0, kClasses80x10Predict,
                  Parameters(2.0, 10, 2, 3))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_SameReportTwice, Smoke_Number80x10_Complexity2_0, kNumber80x10Predict,
                  Parameters(2.0, 10, 2, 3))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
