// TuneParameters: one run of the engine per setting of the grid, under a time budget and a stop
// request, on the table as it was when the search started, with the reports kept out of the
// working folder.
#include "tarvo/tuning.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <thread>

#include "file_bytes.h"
#include "input_table.h"
#include "report_file.h"
#include "system_error_text.h"
#include "tarvo/atomic_file.h"

namespace tarvo {

namespace {

// A fresh folder for the reports of the tuning runs, removed with them.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) base = "/tmp";
    std::string pattern = (base / "tarvo-tune-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
      throw EngineError("Cannot create a temporary folder in " + base.string());
    }
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::string File(const char* name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The table every setting of one search reads, fixed when the search starts, so that a table
// saved again meanwhile cannot mix into the rows: a described table file's own copy in the
// scratch folder, or a CSV or TSV table read once (its runs name the user's file in their
// reports, as a run on the file does).
struct TuningTable {
  std::string File;
  std::optional<Table> Csv;
};

// Copies the described table file into the scratch folder. A file that cannot be read is left
// where it is: the probe then reports it as a run would.
std::string CopyTableFile(const std::string& inputFileName, const ScratchFolder& scratch) {
  std::string bytes;
  if (!ReadFileBytes(inputFileName, bytes, kMaxTableBytes)) return inputFileName;
  const std::string copy = scratch.File("table.txt");
  if (const int error = WriteFileAtomically(copy, bytes)) {
    throw EngineError("Cannot create file " + copy + WithSystemReason(error));
  }
  return copy;
}

// A CSV or TSV table read as a run reads it: its fault, or the fault FindTableFault finds for
// the predicted column; empty when the table can be run.
std::string ProbeCsvTable(const std::string& inputFileName, const RunParameters& base,
                          const TuningOptions& options, TuningTable& tuned, bool& numericTarget) {
  CsvOptions csv = options.Csv;
  csv.Separator = SeparatorOf(options.InputFormat);
  Table& table = tuned.Csv.emplace();
  std::string fault;
  if (!ReadCsvTable(inputFileName, csv, table, fault)) return fault;
  fault = FindTableFault(table, base.FeatureToPredict);
  if (fault.empty()) {
    numericTarget = !table.Columns[static_cast<size_t>(base.FeatureToPredict) - 1].Nominal;
  }
  return fault;
}

// Takes the table of the search and reads it as a run would, to learn the kind of target and any
// fault of the table before the grid is chosen. Returns the fault's message, empty when the table
// reads.
std::string ProbeTable(const std::string& inputFileName, const RunParameters& base,
                       const TuningOptions& options, const ScratchFolder& scratch,
                       const std::string& reportFileName, TuningTable& tuned, bool& numericTarget) {
  if (options.InputFormat != TableFormat::Described) {
    return ProbeCsvTable(inputFileName, base, options, tuned, numericTarget);
  }
  tuned.File = CopyTableFile(inputFileName, scratch);
  ReportFile report;
  if (!report.Open(reportFileName)) throw EngineError("Cannot create file " + reportFileName);
  TableReader reader(report, tuned.File);
  TInputTable table;
  TTargetDescription target;
  TFeatureMask mask;
  const bool read =
      reader.LoadTrainingPart(base.FeatureToPredict, base.TargetWeight, table, target, mask) &&
      reader.LoadPredictionSection(table);
  numericTarget = target.RegressionMode;
  report.Close();
  return read ? std::string() : report.FirstLine();
}

// Stops the run in progress when the caller asks or the budget runs out. The watcher thread sees
// it within a few milliseconds during a long search; the progress calls see it at once.
class RunStopper {
 public:
  RunStopper(const std::atomic<bool>* cancel, std::function<double()> clock, double deadline)
      : cancel_(cancel), clock_(std::move(clock)), deadline_(deadline) {
    watcher_ = std::jthread([this](std::stop_token stop) {
      while (!stop.stop_requested()) {
        Check();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
  }
  bool Cancelled() const { return cancel_ && cancel_->load(); }
  bool OverBudget() const { return clock_() >= deadline_; }
  void Check() {
    if (Cancelled() || OverBudget()) stop_ = true;
  }
  const std::atomic<bool>* Flag() const { return &stop_; }

 private:
  const std::atomic<bool>* cancel_;
  std::function<double()> clock_;
  double deadline_;
  std::atomic<bool> stop_{false};
  std::jthread watcher_;  // last: it stops before the members it reads go
};

// The engine's progress calls, turned into the search's progress and stop checks.
class SettingProgress : public ProgressSink {
 public:
  SettingProgress(const TuningOptions& options, RunStopper& stopper, TuningProgress where)
      : options_(options), stopper_(stopper), where_(where) {}
  void SetPanelText(int, const std::string&) override {}
  void Repaint() override { stopper_.Check(); }
  void PlanTrees(int32_t trees) override {
    where_.TreesPlanned = trees;
    Tell();
  }
  void TreeStarted(int32_t index) override {
    where_.TreesStarted = index;
    Tell();
  }
  void Tell() {
    if (options_.Progress) options_.Progress(where_);
    stopper_.Check();
  }

 private:
  const TuningOptions& options_;
  RunStopper& stopper_;
  TuningProgress where_;
};

std::function<double()> SteadyClock() {
  return [] {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
  };
}

// The settings of the grid in the order they run: by look-ahead; at each, the rules in the grid's
// order, the rule None once per homogeneity and any other once, with the homogeneity that a pruned
// run grows with (kPruneHomogeneity, unless the caller set its own). An empty list takes its
// defaults.
std::vector<TuningRow> GridSettings(const TuningGrid& grid, bool numericTarget,
                                    const RunParameters& base, const TuningOptions& options) {
  std::vector<double> lookAheads = grid.RecursiveComplexity;
  if (lookAheads.empty()) lookAheads = DefaultRecursiveComplexities();
  std::vector<double> homogeneities = grid.Homogeneity;
  if (homogeneities.empty()) homogeneities = DefaultHomogeneities(numericTarget);
  std::vector<PruneRule> rules = grid.Prune;
  if (rules.empty()) rules = DefaultPruneRules();
  const double prunedHomogeneity = options.HomogeneitySet ? base.Homogeneity : kPruneHomogeneity;
  std::vector<TuningRow> settings;
  for (double rc : lookAheads) {
    for (PruneRule rule : rules) {
      TuningRow row;
      row.RecursiveComplexity = rc;
      row.Prune = rule;
      if (rule != PruneRule::None) {
        row.Homogeneity = prunedHomogeneity;
        settings.push_back(row);
        continue;
      }
      for (double h : homogeneities) {
        row.Homogeneity = h;
        settings.push_back(row);
      }
    }
  }
  return settings;
}

// Runs the engine once on row's setting and fills in the row; false when the stop request ended
// the run (the row then holds its time only).
bool RunSetting(const RunParameters& base, const TuningTable& table, const RunOptions& runOptions,
                bool targetWeightSet, const std::function<double()>& clock, TuningRow& row,
                std::vector<std::string>& warnings) {
  RunParameters p = base;
  p.RecursiveComplexity = row.RecursiveComplexity;
  p.Homogeneity = row.Homogeneity;
  if (row.Prune != PruneRule::None && !targetWeightSet) {
    p.TargetWeight = PruneTargetWeight(row.RecursiveComplexity);
  }
  p.VariantsNumber = 1;  // the first tree is all that is scored, and later variants leave it be
  const double rowStart = clock();
  try {
    const RunResult run =
        table.Csv ? RunEngine(p, *table.Csv, runOptions) : RunEngine(p, table.File, runOptions);
    row.Seconds = clock() - rowStart;
    for (const std::string& warning : run.Warnings) {
      if (std::find(warnings.begin(), warnings.end(), warning) == warnings.end())
        warnings.push_back(warning);
    }
    if (run.TableFault) {
      row.Outcome = TuningOutcome::Refused;
      row.Note = "refused:" + run.FaultMessage;
    } else if (run.FirstTree.Folds.empty()) {
      // An error of 0 from folds that tested nothing would rank first.
      row.Outcome = TuningOutcome::Refused;
      row.Note = "no fold tested an object: fewer objects than the folds need";
    } else {
      row.Outcome = TuningOutcome::Scored;
      row.CrossValidationError = run.FirstTree.CrossValidationError;
      row.StandardError = FoldStandardError(run.FirstTree.Folds);
      row.Leaves = run.FirstTree.Leaves;
    }
    return true;
  } catch (const RunCancelled&) {
    row.Seconds = clock() - rowStart;
    return false;
  }
}

// The search over the settings in order, until the caller stops it; once the budget is spent, the
// settings left are rows that were not run. Returns how the search ended.
TuningEnd RunSettings(const std::vector<TuningRow>& settings, const RunParameters& base,
                      const TuningTable& table, const TuningOptions& options, RunStopper& stopper,
                      RunOptions& runOptions, const std::function<double()>& clock,
                      std::vector<TuningRow>& rows, std::vector<std::string>& warnings) {
  auto keep = [&](const TuningRow& row) {
    rows.push_back(row);
    if (options.RowDone) options.RowDone(row);
  };
  TuningEnd end = TuningEnd::Completed;
  for (size_t i = 0; i < settings.size(); ++i) {
    TuningRow row = settings[i];
    if (stopper.Cancelled()) return TuningEnd::Cancelled;
    if (end == TuningEnd::OverBudget || stopper.OverBudget()) {
      end = TuningEnd::OverBudget;
      row.Note = "not run: the time budget was spent";
      keep(row);
      continue;
    }
    TuningProgress where;
    where.Setting = static_cast<int32_t>(i) + 1;
    where.Settings = static_cast<int32_t>(settings.size());
    SettingProgress progress(options, stopper, where);
    runOptions.Progress = &progress;
    runOptions.Prune = row.Prune;
    if (!RunSetting(base, table, runOptions, options.TargetWeightSet, clock, row, warnings)) {
      if (stopper.Cancelled()) return TuningEnd::Cancelled;
      end = TuningEnd::OverBudget;
      row.Outcome = TuningOutcome::OverBudget;
      row.Note = "stopped: the time budget ran out";
    }
    keep(row);
  }
  return end;
}

}  // namespace

TuningResult TuneParameters(const RunParameters& base, const std::string& inputFileName,
                            const TuningOptions& options) {
  TuningResult result;
  if (base.FoldsCrossValidate < 2) {
    result.Message = "Tuning needs cross-validation: set the number of folds to 2 or more.";
    return result;
  }
  ScratchFolder scratch;
  const std::string report = scratch.File("output.txt");
  TuningTable table;
  result.Message =
      ProbeTable(inputFileName, base, options, scratch, report, table, result.NumericTarget);
  if (!result.Message.empty()) return result;
  const std::vector<TuningRow> settings =
      GridSettings(options.Grid, result.NumericTarget, base, options);

  const std::function<double()> clock = options.Clock ? options.Clock : SteadyClock();
  const double start = clock();
  const double deadline = options.BudgetSeconds > 0 ? start + options.BudgetSeconds : 1e300;
  RunStopper stopper(options.CancelRequested, clock, deadline);
  RunOptions runOptions;
  runOptions.CancelRequested = stopper.Flag();
  runOptions.SearchThreads = options.SearchThreads;
  runOptions.ReportFileName = report;
  runOptions.ChiSquareFileName = options.ChiSquareFileName;
  runOptions.InputFormat = options.InputFormat;
  runOptions.Csv = options.Csv;
  runOptions.TableName = inputFileName;
  result.End = RunSettings(settings, base, table, options, stopper, runOptions, clock, result.Rows,
                           result.Warnings);
  result.Best = BestTuningRow(result.Rows);
  return result;
}

}  // namespace tarvo
