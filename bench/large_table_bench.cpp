// Tables beyond 500 objects, read from CSV into memory once; an iteration is one run on the table
// in memory and its report. The Scale_ series give the exponent of time against objects.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "run_folder.h"
#include "synthetic_table.h"
#include "tarvo/engine.h"

namespace {

using tarvo::synthetic::TableShape;
using tarvo::synthetic::TargetKind;

// 19 predictors and the target: every third predictor nominal in classification, all numeric
// in regression, as in the engine workloads.
TableShape LargeShape(TargetKind target, int32_t objects) {
  TableShape shape;
  shape.target = target;
  shape.objects = objects;
  shape.columns = 20;
  shape.nominalPredictors = target == TargetKind::kClasses;
  shape.seed = 0x7A4F0100;
  return shape;
}

void BM_LargeTable(benchmark::State& state, TargetKind target, double recursiveComplexity,
                   int32_t folds) {
  const auto objects = static_cast<int32_t>(state.range(0));
  tarvo::Table table;
  std::string error;
  std::istringstream csv(tarvo::synthetic::MakeCsvTable(LargeShape(target, objects)));
  if (!tarvo::ReadCsvTable(csv, "large.csv", tarvo::CsvOptions{}, table, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  tarvo::bench::RunFolder folder;
  if (!folder.Prepare("", &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  tarvo::RunOptions options;
  options.ReportFileName = (folder.path() / "output.txt").string();
  options.ChiSquareFileName = (folder.path() / "prog.par").string();
  // One search thread: the CPU time is then all of the work, measurable on a busy machine.
  options.SearchThreads = 1;
  for (auto _ : state) {
    tarvo::RunParameters p;
    p.RecursiveComplexity = recursiveComplexity;
    p.FeatureToPredict = 20;
    p.FoldsCrossValidate = folds;
    const tarvo::RunResult result = tarvo::RunEngine(p, table, options);
    if (result.TableFault) {
      state.SkipWithError(result.FaultMessage.c_str());
      return;
    }
  }
  const std::string report = folder.ReadReport();
  state.counters["objects"] = objects;
  state.counters["rules"] = 0;
  for (size_t at = report.find(" THEN "); at != std::string::npos;
       at = report.find(" THEN ", at + 1)) {
    state.counters["rules"] += 1;
  }
}

// 20,000 objects x 20 columns with 10 folds, at look-ahead 1 and 2.
BENCHMARK_CAPTURE(BM_LargeTable, Classes20000x20_Complexity1_10Folds, TargetKind::kClasses, 1.0, 10)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_LargeTable, Classes20000x20_Complexity2_10Folds, TargetKind::kClasses, 2.0, 10)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_LargeTable, Number20000x20_Complexity1_10Folds, TargetKind::kNumber, 1.0, 10)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_LargeTable, Number20000x20_Complexity2_10Folds, TargetKind::kNumber, 2.0, 10)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// Time against objects, 10 folds: 500 to 20,000 at both depths, to 100,000 at look-ahead 1.
BENCHMARK_CAPTURE(BM_LargeTable, Scale_Classes_Complexity1, TargetKind::kClasses, 1.0, 10)
    ->Arg(500)
    ->Arg(2000)
    ->Arg(5000)
    ->Arg(20000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_LargeTable, Scale_Number_Complexity1, TargetKind::kNumber, 1.0, 10)
    ->Arg(500)
    ->Arg(2000)
    ->Arg(5000)
    ->Arg(20000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_LargeTable, Scale_Classes_Complexity2, TargetKind::kClasses, 2.0, 10)
    ->Arg(500)
    ->Arg(2000)
    ->Arg(5000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_LargeTable, Scale_Number_Complexity2, TargetKind::kNumber, 2.0, 10)
    ->Arg(500)
    ->Arg(2000)
    ->Arg(5000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
