// tarvo-run: the "Grow Tree" run without a window. Runs the engine on TABLE with the parameters
// of param.par and the options, writes the report, and tells the outcome by its exit status.
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "apply_command.h"
#include "command_line.h"
#include "exit_status.h"
#include "installed_files.h"
#include "interrupt.h"
#include "picture_options.h"
#include "report_output.h"
#include "run_parameters.h"
#include "table_input.h"
#include "tarvo/engine.h"
#include "tarvo/model_file.h"
#include "terminal_progress.h"
#include "tree_collector.h"
#include "tune_command.h"

namespace {

// Things that read without an error but probably not as meant: one line each.
void PrintWarnings(const std::vector<std::string>& warnings) {
  for (const std::string& warning : warnings)
    std::fprintf(stderr, "warning: %s\n", warning.c_str());
}

int RunTable(const CommandLine& line, tarvo::RunParameters& parameters) {
  ReportOutput report(line.ReportFile.value_or("output.txt"));
  if (report.FileName().empty()) {
    std::fprintf(stderr, "tarvo-run: %s\n", report.Error().c_str());
    return kExitRunError;
  }
  TerminalProgress terminal;
  tarvo::RunOptions options;
  options.Progress = isatty(STDERR_FILENO) ? &terminal : nullptr;
  options.CancelRequested = CatchInterrupt();
  options.ReportFileName = report.FileName();
  options.ChiSquareFileName = ChooseChiSquareFile(line.ChiSquareFile);
  options.InputFormat = TableFormatOf(line);
  options.Csv.NominalColumns = NominalColumnsOf(line);
  options.Prune = line.Prune.value_or(tarvo::PruneRule::None);
  const PictureOptions pictures{line.DotFile.value_or(""), line.SvgFile.value_or(""),
                                line.SvgVariant};
  tarvo::TreeCollector trees;
  if (pictures.Wanted()) options.Observer = &trees;
  try {
    const tarvo::RunResult result = tarvo::RunEngine(parameters, line.Table, options);
    PrintWarnings(result.Warnings);
    if (!report.Deliver()) {
      std::fprintf(stderr, "tarvo-run: %s\n", report.Error().c_str());
      return kExitRunError;
    }
    if (!result.TableFault && line.SaveModel) {
      try {
        tarvo::SaveModel(*result.GrownModel, *line.SaveModel);
      } catch (const tarvo::ModelError& error) {
        std::fprintf(stderr, "tarvo-run: %s\n", error.what());
        return kExitRunError;
      }
    }
    std::string pictureError;
    if (!result.TableFault && pictures.Wanted() &&
        !WritePictures(pictures, trees.Trees, pictureError)) {
      std::fprintf(stderr, "tarvo-run: %s\n", pictureError.c_str());
      return kExitRunError;
    }
    if (!result.TableFault) return kExitComplete;
    std::fprintf(stderr, "%s\n", result.FaultMessage.c_str());
    // Without options the run on a table file is the window's Grow Tree, for which a fault is a
    // normal end.
    const bool growTree = !line.HasOptions && options.InputFormat == tarvo::TableFormat::Described;
    return growTree ? kExitComplete : kExitTableFault;
  } catch (const tarvo::RunCancelled&) {
    terminal.EndLine();
    std::fputs("tarvo-run: interrupted; the report is incomplete\n", stderr);
    return kExitInterrupted;
  } catch (const tarvo::EngineError& error) {
    terminal.EndLine();
    std::fprintf(stderr, "%s\n", error.what());
    return kExitRunError;
  } catch (const std::exception& error) {
    terminal.EndLine();
    std::fprintf(stderr, "tarvo-run: internal error: %s\n", error.what());
    return kExitInternal;
  }
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine line;
  if (const std::optional<int> status = ParseCommandLine(argc, argv, line)) return *status;
  if (line.ApplyModel) return RunApplyCommand(line);
  tarvo::RunParameters parameters;
  std::vector<std::string> warnings;
  const std::optional<int> status = ResolveParameters(line, parameters, warnings);
  PrintWarnings(warnings);
  if (status) return *status;
  PredictLastColumnOfCsv(line, parameters);
  if (line.Tune) return RunTuneCommand(line, parameters);
  return RunTable(line, parameters);
}
