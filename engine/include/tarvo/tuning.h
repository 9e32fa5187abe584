// Choosing RecursiveComplexity, Homogeneity and pruning for a table: runs over a grid of settings,
// each scored by the cross-validation error its first tree reports.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tarvo/csv_table.h"
#include "tarvo/engine.h"
#include "tarvo/parameters.h"
#include "tarvo/pruning.h"

namespace tarvo {

// The values to try. An empty list means the default values of that parameter.
// Each look-ahead runs every homogeneity without pruning, then one row per pruning rule: a pruned
// run grows with the homogeneity of pruning (see UsePruneGrowth), so it does not vary it.
struct TuningGrid {
  std::vector<double> RecursiveComplexity;
  std::vector<double> Homogeneity;
  std::vector<PruneRule> Prune;
};

// Look-ahead 1, 2, 2.5 and 3.
std::vector<double> DefaultRecursiveComplexities();
// 0.01, 0.05, 0.1 and 0.2 for a nominal target; a numeric target takes only the chi-square
// levels 0.001, 0.005, 0.01 and 0.05.
std::vector<double> DefaultHomogeneities(bool numericTarget);
// None, 1se and min: the settings without pruning, and one row per look-ahead pruned by each rule.
std::vector<PruneRule> DefaultPruneRules();

// Reads the text form of a grid: "rc=1,2,3 h=0.01,0.05 prune=none,1se", the lists separated by
// blanks or ";", each optional, names in either case ("rc" or "RecursiveComplexity", "h" or
// "Homogeneity", "prune"). False with a one-line message when the text is not such a grid.
bool ParseTuningGrid(std::string_view text, TuningGrid& grid, std::string& message);

enum class TuningOutcome {
  Scored,      // the run completed with a cross-validation error
  Refused,     // the run refused the setting (its one-line message is the note)
  OverBudget,  // the run was stopped when the time budget ran out
  NotRun,      // the budget was spent before the setting's turn
};

struct TuningRow {
  double RecursiveComplexity = 0.0;
  double Homogeneity = 0.0;  // the one the run grew with: a pruned row's is that of pruning
  PruneRule Prune = PruneRule::None;
  TuningOutcome Outcome = TuningOutcome::NotRun;
  double CrossValidationError = 0.0;  // of the first tree, as its report gives it
  double StandardError = -1.0;        // over the folds; negative when fewer than two were tested
  int32_t Leaves = 0;                 // of the first tree, grown on all the data
  double Seconds = 0.0;
  std::string Note;  // why a row has no score
};

// Where the search is, for a progress bar: setting `Setting` of `Settings` (1-based) has started
// `TreesStarted` of its `TreesPlanned` trees (the tree on all the data and one per fold).
struct TuningProgress {
  int32_t Setting = 0;
  int32_t Settings = 0;
  int32_t TreesStarted = 0;
  int32_t TreesPlanned = 0;
  double Fraction() const;  // of the whole search, 0..1
};

struct TuningOptions {
  TuningGrid Grid;
  double BudgetSeconds = 0.0;  // 0 or less: no limit
  // Set to true (from any thread) to end the search; the rows done so far are kept.
  const std::atomic<bool>* CancelRequested = nullptr;
  int32_t SearchThreads = 0;
  std::string ChiSquareFileName = "prog.par";
  // The caller set these parameters of `base` itself: pruned rows keep them instead of taking the
  // growth of pruning (as UsePruneGrowth does).
  bool TargetWeightSet = false;
  bool HomogeneitySet = false;
  // How the table file is read: a described table file, or CSV or TSV with these options.
  TableFormat InputFormat = TableFormat::Described;
  CsvOptions Csv;
  // Called on the caller's thread: each row as soon as it is known, and the progress.
  std::function<void(const TuningRow&)> RowDone;
  std::function<void(const TuningProgress&)> Progress;
  // Seconds since any fixed moment, read from the caller's thread and from a watcher thread; the
  // steady clock when empty.
  std::function<double()> Clock;
};

enum class TuningEnd {
  Completed,   // every setting had its turn
  OverBudget,  // the time budget ended the search; later settings were not run
  Cancelled,   // the caller asked the search to stop
  NotStarted,  // the table has a fault or the run parameters cannot be tuned (see Message)
};

struct TuningResult {
  TuningEnd End = TuningEnd::NotStarted;
  std::string Message;
  bool NumericTarget = false;
  std::vector<TuningRow> Rows;  // in the order they ran
  int32_t Best = -1;            // index into Rows; -1 when no row was scored
  // The runs' warnings (a prog.par value that did not read, say), each once, in the order met.
  std::vector<std::string> Warnings;
};

// Runs the engine on inputFileName once per setting of the grid, each with `base` but for the
// setting, a single variant and its report in a temporary folder (output.txt is left alone). The
// table is taken once, when the search starts: a file saved again meanwhile changes no row. The
// settings run by look-ahead; at each, the rows without pruning come first, by homogeneity, then
// the pruned ones, so that a budget spent early leaves out the costly deep look-aheads.
// Every run of a table deals the same folds, so the settings are compared on the same folds.
// Throws EngineError when a run does (prog.par missing, for instance).
TuningResult TuneParameters(const RunParameters& base, const std::string& inputFileName,
                            const TuningOptions& options);

// The standard error of the cross-validation error: the spread of the fold errors about their
// mean, each fold weighted by the objects it tested, over the square root of the number of folds.
// Negative when fewer than two folds were tested.
double FoldStandardError(const std::vector<FoldError>& folds);

// The scored row with the lowest error as the report prints it (3 decimals); ties go to the lower
// look-ahead, then to a row without pruning, then to 1se before min, then to the higher
// homogeneity. -1 when no row was scored.
int32_t BestTuningRow(const std::vector<TuningRow>& rows);

// Writes `base` with the row's look-ahead to param.par's format at path, and its homogeneity when
// the row was not pruned: a pruned row's growth and rule are no part of param.par, which keeps
// the homogeneity and target weight of `base`.
bool WriteTunedParameterFile(const std::string& path, RunParameters base, const TuningRow& row);

}  // namespace tarvo
