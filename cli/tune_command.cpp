// tarvo-run --tune: runs the grid, shows progress on a terminal and prints one row per setting.
#include "tune_command.h"

#include <string>

#include "tarvo/engine.h"
#include "tarvo/numbers.h"
#include "tarvo/tuning.h"

namespace tarvo {

namespace {

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

}  // namespace

int RunTuneCommand(const TuneCommand& command, const RunParameters& base,
                   const std::atomic<bool>* interrupted, std::FILE* out, std::FILE* progress) {
  TuningOptions options;
  std::string message;
  if (!ParseTuningGrid(command.GridText, options.Grid, message)) {
    std::fprintf(stderr, "tarvo-run: --grid: %s\n", message.c_str());
    return 64;
  }
  options.BudgetSeconds = command.BudgetSeconds;
  options.CancelRequested = interrupted;
  options.SearchThreads = command.SearchThreads;
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
    result = TuneParameters(base, command.Table, options);
  } catch (const EngineError& error) {
    if (progress) std::fputs("\n", progress);
    std::fprintf(stderr, "%s\n", error.what());
    return 2;
  }
  if (progress) std::fputs("\r\033[K", progress);
  if (result.End == TuningEnd::NotStarted) {
    std::fprintf(stderr, "tarvo-run: cannot tune %s:%s%s\n", command.Table.c_str(),
                 result.Message.empty() || result.Message[0] == ' ' ? "" : " ",
                 result.Message.c_str());
    return 1;
  }

  std::fprintf(out, "Tuning %s: %d-fold cross-validation error of the first tree, %s target\n",
               command.Table.c_str(), base.FoldsCrossValidate,
               result.NumericTarget ? "numeric (relative error)" : "nominal");
  PrintTable(result, out);
  if (result.End == TuningEnd::OverBudget) {
    std::fprintf(out, "The time budget of %s s ended the search early.\n",
                 FormatReal(command.BudgetSeconds, 1, 0).c_str());
  }
  if (result.End == TuningEnd::Cancelled) std::fputs("Interrupted: the rows done so far.\n", out);
  if (result.Best < 0) {
    std::fputs("No setting was scored.\n", out);
    return result.End == TuningEnd::Cancelled ? 130 : 0;
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
  if (result.End == TuningEnd::Cancelled) return 130;
  if (command.WriteParam) {
    if (!WriteTunedParameterFile("param.par", base, best)) {
      std::fputs("tarvo-run: cannot write param.par\n", stderr);
      return 2;
    }
    std::fputs("Written to param.par.\n", out);
  }
  return 0;
}

}  // namespace tarvo
