// tarvo-run: the "Grow Tree" run without a window. Runs the engine on TABLE with the parameters
// of param.par and the options, writes the report, and tells the outcome by its exit status.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "apply_command.h"
#include "command_line.h"
#include "exit_status.h"
#include "file_roles.h"
#include "installed_files.h"
#include "interrupt.h"
#include "picture_options.h"
#include "piped_inputs.h"
#include "report_output.h"
#include "run_parameters.h"
#include "table_input.h"
#include "tarvo/engine.h"
#include "tarvo/model_file.h"
#include "terminal_progress.h"
#include "tree_collector.h"
#include "tune_command.h"

namespace {

constexpr const char* kDefaultReportFile = "output.txt";

// Notes and things that read without an error but probably not as meant: one line each, after the
// line that tells how the run ended.
void PrintNotes(const std::vector<std::string>& notes) {
  for (const std::string& note : notes) std::fprintf(stderr, "%s\n", note.c_str());
}

// Refuses a run whose outputs would overwrite one of its inputs or each other, before anything
// is read or written.
std::optional<int> RefuseFileClashes(const CommandLine& line) {
  FileClashCheck files;
  files.Inputs.push_back({line.Table, "the table"});
  const std::string parameterFile = ParameterFileOf(line);
  if (access(parameterFile.c_str(), F_OK) == 0) {
    files.Inputs.push_back({parameterFile, "the parameter file"});
  }
  files.Inputs.push_back({ChooseChiSquareFile(line.ChiSquareFile), "the chi-square table"});
  if (!line.Tune)
    files.Outputs.push_back({line.ReportFile.value_or(kDefaultReportFile), "the report"});
  if (line.DotFile) files.Outputs.push_back({*line.DotFile, "the DOT picture"});
  if (line.SvgFile) files.Outputs.push_back({*line.SvgFile, "the SVG picture"});
  if (line.SaveModel) files.Outputs.push_back({*line.SaveModel, "the model"});
  if (line.WriteParam) files.Outputs.push_back({parameterFile, "the parameter file"});
  const std::optional<std::string> clash = files.FirstClash();
  if (!clash) return std::nullopt;
  std::fprintf(stderr, "tarvo-run: %s; nothing was written\n", clash->c_str());
  return kExitRunError;
}

int TableFault(const CommandLine& line, const tarvo::RunResult& result, int openError) {
  if (openError != 0) {
    std::fprintf(stderr, "tarvo-run: %s\n", TableOpenMessage(line.Table, openError).c_str());
    return kExitTableFault;  // a missing table is no success for any script
  }
  std::fprintf(stderr, "tarvo-run: %s\n",
               TableFaultMessage(line.Table, result.FaultMessage).c_str());
  // Without options the run on a table file is the window's Grow Tree, for which a fault is a
  // normal end; a model or picture asked for was not made, which a script must hear of.
  const bool filesAsked = line.SaveModel || line.DotFile || line.SvgFile;
  if (filesAsked) std::fputs("tarvo-run: no model or picture was written\n", stderr);
  const bool growTree =
      !line.HasOptions && !filesAsked && TableFormatOf(line) == tarvo::TableFormat::Described;
  return growTree ? kExitComplete : kExitTableFault;
}

int Interrupted(ReportOutput& report) {
  if (report.ToStandardOutput()) {
    std::fputs("tarvo-run: interrupted; nothing was written to standard output\n", stderr);
  } else if (report.MarkStopped()) {
    std::fprintf(stderr,
                 "tarvo-run: interrupted; %s holds the part of the report written so far, "
                 "marked incomplete\n",
                 report.FileName().c_str());
  } else {
    std::fprintf(stderr, "tarvo-run: interrupted; %s\n", report.Error().c_str());
  }
  return InterruptedStatus();
}

// Runs the table; the run's warnings (a prog.par value that did not read) join notes.
int RunTable(const CommandLine& line, tarvo::RunParameters& parameters,
             std::vector<std::string>& notes) {
  ReportOutput report(line.ReportFile.value_or(kDefaultReportFile));
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
  options.Prune = line.Prune.value_or(tarvo::PruneRule::None);
  options.InputFormat = TableFormatOf(line);
  options.Csv.NominalColumns = NominalColumnsOf(line);
  const PictureOptions pictures{line.DotFile.value_or(""), line.SvgFile.value_or(""),
                                line.SvgVariant};
  tarvo::TreeCollector trees;
  if (pictures.Wanted()) options.Observer = &trees;
  if (!line.TableToRead.empty()) options.TableName = line.Table;
  const int tableOpenError = TableOpenError(TableFileOf(line));
  try {
    const tarvo::RunResult result = tarvo::RunEngine(parameters, TableFileOf(line), options);
    for (const std::string& warning : result.Warnings) notes.push_back("warning: " + warning);
    if (!report.Deliver()) {
      std::fprintf(stderr, "tarvo-run: %s\n", report.Error().c_str());
      return kExitRunError;
    }
    if (result.TableFault) return TableFault(line, result, tableOpenError);
    if (!result.TableFault && line.SaveModel) {
      try {
        tarvo::SaveModel(*result.GrownModel, *line.SaveModel);
      } catch (const tarvo::ModelError& error) {
        std::fprintf(stderr, "tarvo-run: %s\n", error.what());
        return kExitRunError;
      }
    }
    std::string pictureError;
    if (pictures.Wanted() && !WritePictures(pictures, trees.Trees, pictureError)) {
      std::fprintf(stderr, "tarvo-run: %s\n", pictureError.c_str());
      return kExitRunError;
    }
    return kExitComplete;
  } catch (const tarvo::RunCancelled&) {
    terminal.EndLine();
    return Interrupted(report);
  } catch (const tarvo::EngineError& error) {
    terminal.EndLine();
    std::fprintf(stderr, "tarvo-run: %s\n", error.what());
    if (!line.ChiSquareFile && access(options.ChiSquareFileName.c_str(), F_OK) != 0) {
      std::fprintf(stderr, "tarvo-run: prog.par was looked for in %s\n",
                   ChiSquareFilePlaces().c_str());
    }
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
  PipedInputs pipes;
  if (const std::optional<int> status = pipes.CopyPipes(line)) return *status;
  if (line.ApplyModel) return RunApplyCommand(line);
  tarvo::RunParameters parameters;
  std::vector<std::string> notes;
  std::optional<int> status = ResolveParameters(line, parameters, notes);
  if (!status) status = RefuseFileClashes(line);
  if (!status)
    status =
        line.Tune ? RunTuneCommand(line, parameters, notes) : RunTable(line, parameters, notes);
  if (*status != kExitUsage) PrintNotes(notes);
  return *status;
}
