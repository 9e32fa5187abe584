// tarvo-run: the "Grow Tree" run without a window. Reads param.par from the current folder, runs
// the engine on TABLE and leaves output.txt there.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "tarvo/engine.h"
#include "tarvo/numbers.h"
#include "tarvo/parameters.h"
#include "tune_command.h"

namespace {

constexpr int kExitEngineError = 2;
constexpr int kExitUsage = 64;
constexpr int kExitInternal = 70;

void PrintUsage(std::FILE* to) {
  std::fputs(
      "Usage: tarvo-run TABLE\n"
      "       tarvo-run --tune TABLE [--grid TEXT] [--budget SECONDS] [--write-param]\n"
      "Grows decision trees from the table file TABLE with the run parameters of param.par in\n"
      "the current folder (a missing file or value counts as 0) and the chi-square table of\n"
      "prog.par, and writes the report to output.txt there, as the window's Grow Tree does.\n"
      "\n"
      "Exit status: 0 when the run completed (a fault of the table is reported in output.txt),\n"
      "2 when it ended with an error (the message is the first line on stderr), 64 for a usage\n"
      "error.\n"
      "\n"
      "Options:\n"
      "  --help     show this text\n"
      "  --version  show the version\n"
      "\n"
      "--tune runs the table once per setting of look-ahead (RecursiveComplexity) and\n"
      "Homogeneity, the other parameters from param.par, and prints each setting's\n"
      "cross-validation error; the best is marked. --grid \"rc=1,2,3 h=0.01,0.05\" gives the\n"
      "values (default rc=1,2,2.5,3 and h=0.01,0.05,0.1,0.2; 0.001,0.005,0.01,0.05 for a\n"
      "numeric target), --budget the seconds the search may take (default 300, 0: no limit),\n"
      "--write-param writes the best setting into param.par. output.txt is left alone.\n",
      to);
}

// Progress texts for a person watching a terminal: the two status panels on one line.
class TerminalProgress : public tarvo::ProgressSink {
 public:
  void SetPanelText(int panel, const std::string& text) override {
    if (panel == 1) node_ = text;
    if (panel == 2) fold_ = text;
  }
  void Repaint() override {
    std::fprintf(stderr, "\r%-20s%-24s", node_.c_str(), fold_.c_str());
    if (node_.empty() && fold_.empty()) std::fputs("\r", stderr);
    std::fflush(stderr);
  }

 private:
  std::string node_, fold_;
};

std::atomic<bool> interrupted{false};

void Interrupt(int) {
  interrupted = true;
}

// tarvo-run --tune TABLE [--grid TEXT] [--budget SECONDS] [--write-param]
int Tune(int argc, char** argv) {
  tarvo::TuneCommand command;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    double budget = 0.0;
    if (arg == "--grid" && i + 1 < argc) {
      command.GridText = argv[++i];
    } else if (arg == "--budget" && i + 1 < argc && tarvo::ParseRealToken(argv[i + 1], budget)) {
      command.BudgetSeconds = budget;
      ++i;
    } else if (arg == "--write-param") {
      command.WriteParam = true;
    } else if (command.Table.empty() && arg.rfind("--", 0) != 0) {
      command.Table = arg;
    } else {
      PrintUsage(stderr);
      return kExitUsage;
    }
  }
  if (command.Table.empty()) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  std::signal(SIGINT, Interrupt);
  const tarvo::RunParameters base = tarvo::ReadParameterFile("param.par");
  return tarvo::RunTuneCommand(command, base, &interrupted, stdout,
                               isatty(STDERR_FILENO) ? stderr : nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    PrintUsage(stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("tarvo-run (Tarvo) 2.0");
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--tune") == 0) return Tune(argc, argv);
  if (argc != 2 || (argv[1][0] == '-' && argv[1][1] == '-')) {
    PrintUsage(stderr);
    return kExitUsage;
  }

  tarvo::RunParameters p = tarvo::ReadParameterFile("param.par");
  TerminalProgress terminal;
  tarvo::ProgressSink* progress = isatty(STDERR_FILENO) ? &terminal : nullptr;
  try {
    tarvo::RunEngine(p.TargetWeight, p.RecursiveComplexity, p.Homogeneity, p.MonteCarlo,
                     p.VariantsNumber, p.FeatureToPredict, p.FoldsCrossValidate, argv[1], progress);
  } catch (const tarvo::EngineError& error) {
    if (progress) std::fputs("\n", stderr);
    std::fprintf(stderr, "%s\n", error.what());
    return kExitEngineError;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tarvo-run: internal error: %s\n", error.what());
    return kExitInternal;
  }
  return 0;
}
