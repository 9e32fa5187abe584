// tarvo-run --tune: runs the grid, shows progress on a terminal and prints one row per setting.
#include "tune_command.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "exit_status.h"
#include "installed_files.h"
#include "interrupt.h"
#include "result_table.h"
#include "table_input.h"
#include "tarvo/engine.h"
#include "tarvo/numbers.h"
#include "tarvo/tuning.h"

using namespace tarvo;

namespace {

constexpr const char* kOptimistic =
    "Its CV error is optimistic: the setting was chosen on the same folds that measured it.\n";

constexpr double kDefaultBudgetSeconds = 300.0;

std::string RowLine(const TuningRow& row, bool best) {
  std::string line = best ? "*" : " ";
  line += FormatReal(row.RecursiveComplexity, 11, 3) + FormatReal(row.Homogeneity, 13, 3);
  if (row.Outcome == TuningOutcome::Scored) {
    line += FormatReal(row.CrossValidationError, 10, 3);
    line +=
        row.StandardError >= 0 ? FormatReal(row.StandardError, 12, 3) : std::string(11, ' ') + "-";
    line += FormatInteger(row.Leaves, 8);
  } else {
    line += std::string(9, ' ') + "-" + std::string(11, ' ') + "-" + std::string(7, ' ') + "-";
  }
  line += row.Outcome == TuningOutcome::NotRun ? std::string(8, ' ') + "-"
                                               : FormatReal(row.Seconds, 9, 1);
  const std::string rule = PruneRuleName(row.Prune);
  line += std::string(7 - rule.size(), ' ') + rule;
  if (!row.Note.empty()) line += "  " + row.Note;
  return line;
}

void PrintTable(const TuningResult& result, std::FILE* out) {
  std::fputs(" look-ahead  homogeneity  CV error  std. error  leaves  seconds  prune\n", out);
  for (size_t i = 0; i < result.Rows.size(); ++i) {
    const bool best = static_cast<int32_t>(i) == result.Best;
    std::fprintf(out, "%s\n", RowLine(result.Rows[i], best).c_str());
  }
}

void PrintProgress(std::FILE* to, const TuningProgress& where, const std::string& last) {
  std::fprintf(to, "\rsetting %d/%d, tree %d/%d%s   ", where.Setting, where.Settings,
               where.TreesStarted, where.TreesPlanned, last.c_str());
  std::fflush(to);
}

// A number as a script reads it: every digit that tells it apart, no padding.
std::string Plain(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

// Settings that make sense to compare and print: look-ahead 1 to 99, homogeneity 0 to 1; --prune
// RULE stands for the grid's rules, and does not go with them.
bool CheckGrid(const CommandLine& line, TuningGrid& grid, std::string& message) {
  if (line.Prune && !grid.Prune.empty()) {
    message = "prune= does not go with --prune, which chooses the rule itself";
    return false;
  }
  if (line.Prune) grid.Prune = {*line.Prune};
  for (const double rc : grid.RecursiveComplexity) {
    if (!(rc >= 1 && rc <= 99)) {
      message = "the look-ahead " + Plain(rc) + " is outside 1 to 99";
      return false;
    }
  }
  for (const double h : grid.Homogeneity) {
    if (!(h >= 0 && h <= 1)) {
      message = "the homogeneity " + Plain(h) + " is outside 0 to 1";
      return false;
    }
  }
  return true;
}

const char* OutcomeWord(TuningOutcome outcome) {
  switch (outcome) {
    case TuningOutcome::Scored:
      return "scored";
    case TuningOutcome::Refused:
      return "refused";
    case TuningOutcome::OverBudget:
      return "over-budget";
    case TuningOutcome::NotRun:
      return "not-run";
  }
  return "";
}

// The rows of --format csv|tsv, each written as its setting ends. A setting does not know yet
// whether a later one will beat it: "best" is 1 on a row that is the best of the rows so far,
// so the last row marked 1 is the best setting of the search.
class DelimitedRows {
 public:
  explicit DelimitedRows(ResultFormat format) : writer_(stdout, format) {
    written_ = writer_.WriteRow({"look_ahead", "homogeneity", "cv_error", "std_error", "leaves",
                                 "seconds", "outcome", "best", "note", "prune"});
    if (!written_) error_ = errno ? errno : EIO;
  }
  void Add(const TuningRow& row) {
    rows_.push_back(row);
    const bool best = BestTuningRow(rows_) == static_cast<int32_t>(rows_.size()) - 1;
    const bool scored = row.Outcome == TuningOutcome::Scored;
    written_ = writer_.WriteRow({Plain(row.RecursiveComplexity), Plain(row.Homogeneity),
                                 scored ? Plain(row.CrossValidationError) : "",
                                 scored && row.StandardError >= 0 ? Plain(row.StandardError) : "",
                                 scored ? std::to_string(row.Leaves) : "",
                                 row.Outcome == TuningOutcome::NotRun ? "" : Plain(row.Seconds),
                                 OutcomeWord(row.Outcome), best ? "1" : "0",
                                 TrimmedReportLine(row.Note), PruneRuleName(row.Prune)}) &&
               written_;
    if (!written_ && error_ == 0) error_ = errno ? errno : EIO;
  }
  bool Written() const { return written_; }
  // The reason of the first write that failed.
  int Error() const { return error_; }

 private:
  DelimitedWriter writer_;
  std::vector<TuningRow> rows_;
  bool written_ = true;
  int error_ = 0;
};

// The best setting in the names of param.par; a pruned one also tells the rule and the growth its
// runs had.
void PrintBest(const TuningRow& best, const RunParameters& base, const TuningOptions& options,
               std::FILE* out) {
  std::string setting = "RecursiveComplexity " + FormatReal(best.RecursiveComplexity, 1, 3);
  if (best.Prune == PruneRule::None) {
    setting += ", Homogeneity " + FormatReal(best.Homogeneity, 1, 3);
  } else {
    const double weight =
        options.TargetWeightSet ? base.TargetWeight : PruneTargetWeight(best.RecursiveComplexity);
    setting += std::string(", --prune ") + PruneRuleName(best.Prune) +
               " (grown with TargetWeight " + FormatReal(weight, 1, 3) + ", Homogeneity " +
               FormatReal(best.Homogeneity, 1, 3) + ")";
  }
  std::fprintf(out,
               "* best: %s (ties go to the lower look-ahead, then no pruning, then the higher "
               "homogeneity)\n",
               setting.c_str());
}

// The end of a search whose rows went out as CSV or TSV: what the text table says below its rows
// goes to stderr, so that standard output holds the rows alone.
int DelimitedEnd(const TuningResult& result, const DelimitedRows& rows, double budget,
                 const RunParameters& base, const TuningOptions& options) {
  if (!rows.Written()) {
    std::fprintf(stderr, "tarvo-run: cannot write to standard output: %s\n",
                 std::strerror(rows.Error()));
    return kExitRunError;
  }
  if (result.End == TuningEnd::OverBudget) {
    std::fprintf(stderr, "note: the time budget of %s s ended the search early\n",
                 Plain(budget).c_str());
  }
  if (result.End == TuningEnd::Cancelled) {
    std::fputs("tarvo-run: interrupted; the rows done so far are printed\n", stderr);
    return InterruptedStatus();
  }
  if (result.Best < 0) {
    std::fputs("tarvo-run: no setting was scored\n", stderr);
    return kExitTableFault;
  }
  PrintBest(result.Rows[static_cast<size_t>(result.Best)], base, options, stderr);
  std::fputs(kOptimistic, stderr);
  return kExitComplete;
}

// The parameters --write-param writes besides the best setting: those of the tuned runs, but for a
// CSV or TSV table the predicted column the parameter file had, as the window keeps it: that
// number counts the columns of table files.
RunParameters WrittenBase(const CommandLine& line, const RunParameters& base,
                          const std::string& file) {
  if (TableFormatOf(line) == tarvo::TableFormat::Described) return base;
  RunParameters written = base;
  written.FeatureToPredict = access(file.c_str(), F_OK) == 0
                                 ? tarvo::ReadParameterFile(file).FeatureToPredict
                                 : RunParameters{}.FeatureToPredict;
  return written;
}

// The status of a search whose table went to standard output, unless writing it failed.
int CheckedTableStatus(int status) {
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  std::fprintf(stderr, "tarvo-run: cannot write to standard output: %s\n",
               std::strerror(errno ? errno : EIO));
  return kExitRunError;
}

int PrintTuningResult(const CommandLine& line, const RunParameters& base,
                      const TuningOptions& options, const TuningResult& result, double budget) {
  std::FILE* out = stdout;
  std::fprintf(out, "Tuning %s: %d-fold cross-validation error of the first tree, %s target\n",
               line.Table.c_str(), base.FoldsCrossValidate,
               result.NumericTarget ? "numeric (relative error)" : "nominal");
  PrintTable(result, out);
  if (result.End == TuningEnd::OverBudget) {
    std::fprintf(out, "The time budget of %s s ended the search early.\n", Plain(budget).c_str());
  }
  const bool interrupted = result.End == TuningEnd::Cancelled;
  if (interrupted) std::fputs("Interrupted: the rows done so far.\n", out);
  if (result.Best < 0) {
    std::fputs("No setting was scored.\n", out);
    return interrupted ? InterruptedStatus() : kExitTableFault;
  }
  const TuningRow& best = result.Rows[static_cast<size_t>(result.Best)];
  PrintBest(best, base, options, out);
  std::fputs(kOptimistic, out);
  if (interrupted) return InterruptedStatus();
  if (line.WriteParam) {
    const std::string file = line.ParameterFile.value_or("param.par");
    if (!WriteTunedParameterFile(file, WrittenBase(line, base, file), best)) {
      std::fprintf(stderr, "tarvo-run: cannot write %s (%s)\n", file.c_str(),
                   std::strerror(errno ? errno : EIO));
      return kExitRunError;
    }
    std::fprintf(out, "Written to %s.\n", file.c_str());
    if (best.Prune != PruneRule::None) {
      // A pruned run takes its own growth unless the options give it: so did the tuned rows.
      std::string growth;
      if (options.TargetWeightSet) growth += " --target-weight " + Plain(base.TargetWeight);
      if (options.HomogeneitySet) growth += " --homogeneity " + Plain(base.Homogeneity);
      std::fprintf(stderr,
                   "note: pruning is not kept in %s: run with --prune %s%s for the best setting "
                   "(%s keeps its homogeneity and target weight)\n",
                   file.c_str(), PruneRuleName(best.Prune), growth.c_str(), file.c_str());
    }
  }
  return kExitComplete;
}

}  // namespace

int RunTuneCommand(const CommandLine& line, const RunParameters& base,
                   std::vector<std::string>& notes) {
  TuningOptions options;
  std::string message;
  if (!ParseTuningGrid(line.Grid.value_or(""), options.Grid, message)) {
    std::fprintf(stderr, "tarvo-run: --grid: %s (try 'tarvo-run --help')\n", message.c_str());
    return kExitUsage;
  }
  if (!CheckGrid(line, options.Grid, message)) {
    std::fprintf(stderr, "tarvo-run: --grid: %s (try 'tarvo-run --help')\n", message.c_str());
    return kExitUsage;
  }
  std::optional<DelimitedRows> rows;
  if (line.Format != ResultFormat::Text) rows.emplace(line.Format);
  const double budget = line.Budget.value_or(kDefaultBudgetSeconds);
  options.BudgetSeconds = budget;
  options.CancelRequested = CatchInterrupt();
  options.ChiSquareFileName = ChooseChiSquareFile(line.ChiSquareFile);
  options.TargetWeightSet = line.TargetWeight.has_value();
  options.HomogeneitySet = line.Homogeneity.has_value();
  options.InputFormat = TableFormatOf(line);
  options.Csv.NominalColumns = NominalColumnsOf(line);
  std::FILE* progress = isatty(STDERR_FILENO) ? stderr : nullptr;
  std::string last;
  if (progress) {
    options.Progress = [&](const TuningProgress& where) { PrintProgress(progress, where, last); };
  }
  options.RowDone = [&](const TuningRow& row) {
    if (progress) {
      last = row.Outcome == TuningOutcome::Scored
                 ? ", last CV error " + FormatReal(row.CrossValidationError, 1, 3)
                 : std::string();
      std::fputs("\r\033[K", progress);
    }
    if (rows) rows->Add(row);
  };

  TuningResult result;
  try {
    result = TuneParameters(base, TableFileOf(line), options);
  } catch (const EngineError& error) {
    if (progress) std::fputs("\n", progress);
    std::fprintf(stderr, "tarvo-run: %s\n", error.what());
    return kExitRunError;
  }
  if (progress) std::fputs("\r\033[K", progress);
  for (const std::string& warning : result.Warnings) notes.push_back("warning: " + warning);
  if (result.End == TuningEnd::NotStarted) {
    std::fprintf(stderr, "tarvo-run: cannot tune %s: %s\n", line.Table.c_str(),
                 TrimmedReportLine(result.Message).c_str());
    return kExitTableFault;
  }

  if (rows) return DelimitedEnd(result, *rows, budget, base, options);
  return CheckedTableStatus(PrintTuningResult(line, base, options, result, budget));
}
