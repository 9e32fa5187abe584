// RunEngine: one run from the table to the complete report, in the order of its sections.
#include "driver.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <thread>

#include "chi_square_table.h"
#include "cross_validation.h"
#include "model_routing.h"
#include "prediction.h"
#include "rule_report.h"
#include "run_state.h"
#include "system_error_text.h"
#include "table_loading.h"
#include "tarvo/csv_table.h"
#include "tarvo/engine.h"
#include "tree_description.h"
#include "tree_growing.h"
#include "tree_pruning.h"

namespace tarvo {

namespace {

// Trunc of a real that must fit in 32 bits; nothing when it does not (or is not a number).
std::optional<int32_t> TruncTo32(double value) {
  const double whole = std::trunc(value);
  if (!(whole >= std::numeric_limits<int32_t>::min() &&
        whole <= std::numeric_limits<int32_t>::max())) {
    return std::nullopt;
  }
  return static_cast<int32_t>(whole);
}

// Whether the run grows its trees for pruning to cut back: it prunes, and has folds to choose on.
bool GrowsForPruning(const TRunState& run) {
  return run.Prune != PruneRule::None && run.Parameters.FoldsCrossValidate > 1;
}

// Parameters outside what the run can do, checked once the whole table has been read: one line
// in the report, and the run ends normally. Returns false when the run is refused.
bool CheckRunParameters(TRunState& run) {
  auto refuse = [&](const char* message) {
    run.Report.Line(message);
    run.Report.Close();
    return false;
  };
  if (run.Parameters.TargetWeight == 0) return refuse(" Error: target weight must not be 0");
  if (!std::isfinite(run.Parameters.TargetWeight))
    return refuse(" Error: target weight out of range");
  if (run.Parameters.VariantsNumber > 255) return refuse(" Error: too much variants (at most 255)");
  if (run.Parameters.FoldsCrossValidate > 255)
    return refuse(" Error: too much folds (at most 255)");
  const std::optional<int32_t> lookAhead = TruncTo32(run.Parameters.RecursiveComplexity);
  if (!lookAhead) return refuse(" Error: recursive complexity out of range");
  const std::optional<int32_t> level = TruncTo32(run.Parameters.Homogeneity * 1000);
  if (!level) return refuse(" Error: homogeneity out of range");
  const std::optional<int32_t> count =
      TruncTo32(run.Parameters.MonteCarlo * run.Parameters.Homogeneity);
  if (!count) return refuse(" Error: Monte-Carlo trials times homogeneity out of range");
  // A pruned run may grow without the dispersion test: homogeneity 0.
  const bool noTest = GrowsForPruning(run) && *level == 0;
  if (run.Target.RegressionMode && !noTest && *level != 1 && *level != 5 && *level != 10 &&
      *level != 50) {
    return refuse(" Error: homogeneity must be 0.001, 0.005, 0.01 or 0.05 for a numeric feature");
  }
  bool anyActive = false;
  for (int32_t o = 1; o <= run.N(); ++o) anyActive = anyActive || run.Active[o];
  if (!anyActive) {
    return refuse(" Error: no object has known values in the predicted and the last column");
  }
  run.BaseLookAhead = *lookAhead;
  run.HomogeneityCount = *count;
  run.DispersionTest = !noTest;
  return true;
}

void SetUpTrainingObjects(TRunState& run) {
  const int32_t n = run.N();
  run.Active.assign(n + 1, 0);
  run.TargetValue.assign(n + 1, 0.0);
  run.TargetClass.assign(n + 1, 0);
  run.ObjList.clear();
  const std::vector<double>& values = run.Table.Data[run.Target.RegressionFeature];
  const std::vector<double>& classes = run.Table.Data[run.Target.ClassFeature];
  for (int32_t o = 1; o <= n; ++o) {
    run.Active[o] = 1;
    if (!IsKnown(values[o])) {
      run.Active[o] = 0;
    } else {
      run.TargetValue[o] = values[o];
    }
    if (!IsKnown(classes[o])) {
      run.Active[o] = 0;
    } else if (run.Target.ClassificationMode) {
      run.TargetClass[o] = static_cast<int32_t>(std::trunc(classes[o]));
    }
    run.ObjList.push_back(o);
  }
}

// Keeps the tree just grown in the run's model, predicts with it and cross-validates it.
void PredictAndCrossValidate(TRunState& run, TTreeGrower& grower, int32_t minimumFolds,
                             TTreePruner* pruner = nullptr) {
  ModelTree& tree = run.KeptModel.Trees.emplace_back(ModelTreeOf(*run.Root(), run.C()));
  tree.Variant = run.VariantNumber;
  if (run.Table.PredictCount > 0) WritePredictionSection(run, tree);
  if (run.Parameters.FoldsCrossValidate > minimumFolds) {
    const double error = pruner ? pruner->CrossValidate() : CrossValidate(run, grower);
    run.KeptModel.Trees.back().CrossValidationError = error;  // `tree` may have moved
  }
}

// With pruning, the tree just grown is cut back to its chosen size before anything reads it.
std::unique_ptr<TTreePruner> PruneGrownTree(TRunState& run, TTreeGrower& grower) {
  if (run.Prune == PruneRule::None) return nullptr;
  auto pruner = std::make_unique<TTreePruner>(run, grower);
  pruner->PruneGrownTree();
  return pruner;
}

// What the run's model knows of the table it grows from.
void DescribeModel(TRunState& run, const Table& table) {
  Model& model = run.KeptModel;
  model.Columns.clear();
  for (const Column& column : table.Columns) {
    model.Columns.push_back(ModelColumn{column.Name, column.Nominal, column.ValueNames});
  }
  model.PredictedColumn = run.Parameters.FeatureToPredict;
  model.Classification = run.Target.ClassificationMode;
  // The classes as the table names them: the run's own names keep 20 bytes, which need not tell
  // two classes apart, and the model answers with these names.
  const int32_t classFeature = run.Target.ClassFeature;
  if (model.Classification && classFeature >= 1 &&
      classFeature <= static_cast<int32_t>(table.Columns.size()) &&
      table.Columns[classFeature - 1].ValueNames.size() + 1 == run.Target.ClassNames.size()) {
    model.ClassNames = table.Columns[classFeature - 1].ValueNames;
  } else {
    model.ClassNames.assign(run.Target.ClassNames.begin() + 1, run.Target.ClassNames.end());
  }
  model.Parameters = run.Parameters;
  model.Trees.clear();
}

// Takes the run's table from a table in memory; false when the report holds its fault.
bool LoadMemoryTable(TRunState& run, const Table& table, const Table* toPredict) {
  const std::string fault = FindTableFault(table, run.Parameters.FeatureToPredict, toPredict);
  if (!fault.empty()) {
    run.Report.Line(fault);
    run.Report.Close();
    return false;
  }
  LoadTable(table, toPredict, run.Parameters.FeatureToPredict, run.Parameters.TargetWeight,
            run.Table, run.Target, run.PredictorMask);
  DescribeModel(run, table);
  return true;
}

// Reads the table file named by the run, in its format, and takes the run's table from it; false
// when the report holds a fault of the file.
bool LoadTableFile(TRunState& run, const RunOptions& options) {
  Table training, toPredict;
  if (options.InputFormat != TableFormat::Described) {
    CsvOptions csv = options.Csv;
    csv.Separator = SeparatorOf(options.InputFormat);
    csv.CancelRequested = run.CancelRequested;
    std::string fault;
    if (!ReadCsvTable(run.InputFileName, csv, training, fault)) {
      run.Report.Line(fault);
      run.Report.Close();
      return false;
    }
    return LoadMemoryTable(run, training, nullptr);
  }
  // The file's own reader checks its limits with its own messages, in the order it meets them.
  // It reads into the run's own table, which a fault leaves as the reader left it.
  TableReader reader(run.Report, run.InputFileName);
  if (!reader.LoadTrainingPart(run.Parameters.FeatureToPredict, run.Parameters.TargetWeight,
                               run.Table, run.Target, run.PredictorMask)) {
    return false;
  }
  // A value first met in the prediction rows takes a code of its own but no name: the names are
  // those of the training rows.
  const std::vector<std::vector<TValueRec>> trainingValues = run.Table.ValueTable;
  if (!reader.LoadPredictionSection(run.Table)) return false;
  run.Table.ValueTable = trainingValues;
  TablesOfInput(run.Table, training, toPredict);
  return LoadMemoryTable(run, training, &toPredict);
}

// Grows, reports, predicts, cross-validates and votes on the table the run holds. Returns false
// when the report holds a fault of the run parameters.
bool GrowAndReport(TRunState& run) {
  SetUpTrainingObjects(run);
  run.Tree.Create(run.N());
  if (!CheckRunParameters(run)) return false;
  RankFeatureValues(run.Table, run.ValueRanks);

  run.FeatureCost.assign(run.M() + 1, 1.0);
  run.FeatureScore.assign(run.M() + 1, kMissingScore);
  run.FeatureScoreCount.assign(run.M() + 1, 0.0);
  // Only the homogeneity test of a regression run reads the table: only there do its values matter.
  run.ChiSquareTable =
      BuildChiSquareTable(run.ChiSquareFileName, *TruncTo32(run.Parameters.Homogeneity * 1000),
                          run.N(), run.Target.RegressionMode ? &run.Warnings : nullptr);

  const int32_t trees = std::max(run.Parameters.VariantsNumber, 1);
  if (run.Table.PredictCount > 0) {
    run.Votes.assign(run.Table.PredictCount + 1, std::vector<double>(trees + 1, 0.0));
  }
  if (run.Parameters.FoldsCrossValidate > 1) run.FoldOf.assign(run.N() + 1, 0);

  // The first tree is cross-validated with more than one fold, the later variants with more than
  // two.
  const int32_t folds = run.Parameters.FoldsCrossValidate;
  int32_t firstTrees = 1 + (folds > 1 ? folds : 0);
  int32_t laterTrees = 1 + (folds > 2 ? folds : 0);
  if (run.Prune != PruneRule::None && folds > 1) {
    // Every tree, its fold trees and the trees without each pair of folds, with each impurity.
    const int64_t k = folds;
    const int64_t impurities = static_cast<int64_t>(PrunedImpurities(run).size());
    firstTrees = laterTrees = static_cast<int32_t>(impurities * (1 + k + k * (k - 1) / 2));
  }
  run.PlanTrees(firstTrees + (trees - 1) * laterTrees);
  TTreeGrower grower(run, run.SearchThreads);
  run.VariantNumber = 1;
  run.TreeCount = 1;
  run.Tree.NodesUsed = run.Tree.BranchesUsed = 0;
  grower.GrowTree();
  std::unique_ptr<TTreePruner> pruner = PruneGrownTree(run, grower);
  run.FirstTree.Leaves = run.LeafCount;
  WriteTreeReport(run);
  ShowTreeToObserver(run);
  PredictAndCrossValidate(run, grower, 1, pruner.get());
  if (pruner) pruner->WritePruningTable();

  for (int32_t variant = 2; variant <= run.Parameters.VariantsNumber; ++variant) {
    // A tree that did not split its root ends the variants: nothing is forbidden any more.
    if (!run.Root()->FirstBranch) break;
    run.PredictorMask[run.Root()->Feature] = false;
    run.VariantNumber = variant;
    run.Tree.NodesUsed = run.Tree.BranchesUsed = 0;
    grower.GrowTree();
    pruner = PruneGrownTree(run, grower);
    WriteTreeReport(run);
    ShowTreeToObserver(run);
    if (run.Root()->FirstBranch) {  // otherwise reported, but it does not count
      ++run.TreeCount;
      PredictAndCrossValidate(run, grower, 2, pruner.get());
    }
    if (pruner) pruner->WritePruningTable();
  }
  if (run.Table.PredictCount > 0 && run.TreeCount > 1) VoteTrees(run);

  run.ShowProgress(1, "");
  run.ShowProgress(2, "");
  run.Report.Close();
  return true;
}

// Creating the report would empty a table that is the same file (also through a link) before it is
// read, and the report would then blame the table.
void RefuseTableThatIsTheReport(const std::string& table, const std::string& report) {
  std::error_code ignored;
  if (std::filesystem::equivalent(table, report, ignored)) {
    throw EngineError("The table " + table + " is the report file " + report +
                      "; the run would overwrite it. Save the table under another name.");
  }
}

}  // namespace

namespace {

// One run: the state made from the parameters and options, the report opened, the table taken by
// `load`, and the trees grown and reported.
template <typename Load>
RunResult RunWithReport(RunParameters& parameters, const std::string& tableName,
                        const RunOptions& options, Load load) {
  TRunState run;
  int32_t threads = options.SearchThreads;
  if (threads <= 0) {
    threads = static_cast<int32_t>(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, kMaxSearchThreads);
  }
  run.SearchThreads = threads;
  run.Random.Seed(5);
  run.Parameters = parameters;
  run.InputFileName = tableName;
  run.ShownTableName = options.TableName;
  run.ChiSquareFileName = options.ChiSquareFileName;
  run.Prune = options.Prune;
  // Pruning cuts back what growth overshoots: the splits of a run that prunes pay only for their
  // leaves. Without look-ahead they have two branches each: a one-level search judges the branches
  // of a multiway split by their own errors alone and cuts too finely, and pruning, which can only
  // collapse a node whole, cannot mend that. With look-ahead, each branch is judged by the subtree
  // it leads to, and multiway splits prune as well as binary ones at a fraction of the cost; where
  // the look-ahead finds no split that pays, binary cuts go on as binary growth's weight lets them.
  // Without folds to choose on, nothing is pruned and the trees grow as without it.
  if (GrowsForPruning(run)) {
    run.CostWeight = kPruneSplitCost;
    run.BinarySplits = run.Parameters.RecursiveComplexity < kPruneMultiwayLookAhead;
    run.ImpurityScores = run.Parameters.RecursiveComplexity == 1.0;
    run.CutsBelowSearch = !run.BinarySplits;
  }
  run.Progress = options.Progress;
  run.CancelRequested = options.CancelRequested;
  run.Observer = options.Observer;
  if (!run.Report.Open(options.ReportFileName)) {
    const int error = errno;
    throw EngineError("Cannot create file " + options.ReportFileName + WithSystemReason(error));
  }
  RunResult result;
  try {
    result.TableFault = !load(run);
    // Reading a large table takes a while: a stop asked meanwhile ends the run before growing.
    if (!result.TableFault) {
      run.CheckCancel();
      result.TableFault = !GrowAndReport(run);
    }
  } catch (const RunCancelled&) {
    run.Report.KeepPart();  // a stopped run leaves the part written so far
    throw;
  }
  if (result.TableFault) result.FaultMessage = run.Report.FirstLine();
  result.Warnings = std::move(run.Warnings);
  result.FirstTree = std::move(run.FirstTree);
  if (!result.TableFault) result.GrownModel = std::make_shared<Model>(std::move(run.KeptModel));
  // The predicted column's number is overwritten by the last column's in a classification run.
  if (run.Target.ClassificationMode) parameters.FeatureToPredict = run.Table.FileColumns;
  return result;
}

}  // namespace

RunResult RunEngine(RunParameters& parameters, std::string inputFileName,
                    const RunOptions& options) {
  RefuseTableThatIsTheReport(inputFileName, options.ReportFileName);
  return RunWithReport(parameters, inputFileName, options,
                       [&](TRunState& run) { return LoadTableFile(run, options); });
}

RunResult RunEngine(RunParameters& parameters, const Table& table, const RunOptions& options,
                    const Table* toPredict) {
  return RunWithReport(parameters, options.TableName, options,
                       [&](TRunState& run) { return LoadMemoryTable(run, table, toPredict); });
}

void RunEngine(double& TargetWeight, double& RecursiveComplexity, double& Homogeneity,
               int32_t& MonteCarlo, int32_t& VariantsNumber, int32_t& FeatureToPredict,
               int32_t& FoldsCrossValidate, std::string inputFileName, ProgressSink* progress) {
  RunEngineOnThreads(TargetWeight, RecursiveComplexity, Homogeneity, MonteCarlo, VariantsNumber,
                     FeatureToPredict, FoldsCrossValidate, std::move(inputFileName), progress, 0);
}

void RunEngineOnThreads(double& TargetWeight, double& RecursiveComplexity, double& Homogeneity,
                        int32_t& MonteCarlo, int32_t& VariantsNumber, int32_t& FeatureToPredict,
                        int32_t& FoldsCrossValidate, std::string inputFileName,
                        ProgressSink* progress, int32_t threads) {
  RunParameters parameters{TargetWeight,   RecursiveComplexity, Homogeneity,       MonteCarlo,
                           VariantsNumber, FeatureToPredict,    FoldsCrossValidate};
  RunOptions options;
  options.Progress = progress;
  options.SearchThreads = threads;
  RunEngine(parameters, std::move(inputFileName), options);
  FeatureToPredict = parameters.FeatureToPredict;
}

}  // namespace tarvo
