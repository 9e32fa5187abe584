// tarvo-run --tune: runs the grid, shows progress on a terminal and prints one row per setting.
#include "tune_command.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "exit_status.h"
#include "installed_files.h"
#include "interrupt.h"
#include "tarvo/engine.h"
#include "tarvo/numbers.h"
#include "tarvo/tuning.h"

using namespace tarvo;

namespace {

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
  if (!row.Note.empty()) line += "  " + row.Note;
  return line;
}

void PrintTable(const TuningResult& result, std::FILE* out) {
  std::fputs(" look-ahead  homogeneity  CV error  std. error  leaves  seconds\n", out);
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

// A report line without its leading blank.
std::string TrimmedMessage(const std::string& message) {
  const size_t start = message.find_first_not_of(' ');
  return start == std::string::npos ? std::string() : message.substr(start);
}

}  // namespace

int RunTuneCommand(const CommandLine& line, const RunParameters& base) {
  TuningOptions options;
  std::string message;
  if (!ParseTuningGrid(line.Grid.value_or(""), options.Grid, message)) {
    std::fprintf(stderr, "tarvo-run: --grid: %s (try 'tarvo-run --help')\n", message.c_str());
    return kExitUsage;
  }
  const double budget = line.Budget.value_or(kDefaultBudgetSeconds);
  options.BudgetSeconds = budget;
  options.CancelRequested = CatchInterrupt();
  options.ChiSquareFileName = ChooseChiSquareFile(line.ChiSquareFile);
  std::FILE* progress = isatty(STDERR_FILENO) ? stderr : nullptr;
  std::string last;
  if (progress) {
    options.Progress = [&](const TuningProgress& where) { PrintProgress(progress, where, last); };
    options.RowDone = [&](const TuningRow& row) {
      last = row.Outcome == TuningOutcome::Scored
                 ? ", last CV error " + FormatReal(row.CrossValidationError, 1, 3)
                 : std::string();
    };
  }

  TuningResult result;
  try {
    result = TuneParameters(base, line.Table, options);
  } catch (const EngineError& error) {
    if (progress) std::fputs("\n", progress);
    std::fprintf(stderr, "%s\n", error.what());
    return kExitRunError;
  }
  if (progress) std::fputs("\r\033[K", progress);
  if (result.End == TuningEnd::NotStarted) {
    std::fprintf(stderr, "tarvo-run: cannot tune %s: %s\n", line.Table.c_str(),
                 TrimmedMessage(result.Message).c_str());
    return kExitTableFault;
  }

  std::FILE* out = stdout;
  std::fprintf(out, "Tuning %s: %d-fold cross-validation error of the first tree, %s target\n",
               line.Table.c_str(), base.FoldsCrossValidate,
               result.NumericTarget ? "numeric (relative error)" : "nominal");
  PrintTable(result, out);
  if (result.End == TuningEnd::OverBudget) {
    std::fprintf(out, "The time budget of %s s ended the search early.\n",
                 FormatReal(budget, 1, 0).c_str());
  }
  const bool interrupted = result.End == TuningEnd::Cancelled;
  if (interrupted) std::fputs("Interrupted: the rows done so far.\n", out);
  if (result.Best < 0) {
    std::fputs("No setting was scored.\n", out);
    return interrupted ? kExitInterrupted : kExitComplete;
  }
  const TuningRow& best = result.Rows[static_cast<size_t>(result.Best)];
  std::fprintf(out,
               "* best: RecursiveComplexity %s, Homogeneity %s (ties go to the lower look-ahead, "
               "then the higher homogeneity)\n",
               FormatReal(best.RecursiveComplexity, 1, 3).c_str(),
               FormatReal(best.Homogeneity, 1, 3).c_str());
  std::fputs(
      "Its CV error is optimistic: the setting was chosen on the same folds that measured it.\n",
      out);
  if (interrupted) return kExitInterrupted;
  if (line.WriteParam) {
    const std::string file = line.ParameterFile.value_or("param.par");
    if (!WriteTunedParameterFile(file, base, best)) {
      std::fprintf(stderr, "tarvo-run: cannot write %s\n", file.c_str());
      return kExitRunError;
    }
    std::fprintf(out, "Written to %s.\n", file.c_str());
  }
  return kExitComplete;
}
