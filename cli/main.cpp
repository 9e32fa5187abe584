// tarvo-run: the "Grow Tree" run without a window. Reads param.par from the current folder, runs
// the engine on TABLE and leaves output.txt there.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "tarvo/engine.h"
#include "tarvo/parameters.h"

namespace {

constexpr int kExitEngineError = 2;
constexpr int kExitUsage = 64;
constexpr int kExitInternal = 70;

void PrintUsage(std::FILE* to) {
  std::fputs(
      "Usage: tarvo-run TABLE\n"
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
      "  --version  show the version\n",
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

// Things that read without an error but probably not as meant: one line each.
void PrintWarnings(const std::vector<std::string>& warnings) {
  for (const std::string& warning : warnings)
    std::fprintf(stderr, "warning: %s\n", warning.c_str());
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
  if (argc != 2 || (argv[1][0] == '-' && argv[1][1] == '-')) {
    PrintUsage(stderr);
    return kExitUsage;
  }

  std::vector<std::string> warnings;
  tarvo::RunParameters p = tarvo::ReadParameterFile("param.par", warnings);
  PrintWarnings(warnings);
  TerminalProgress terminal;
  tarvo::RunOptions options;
  options.Progress = isatty(STDERR_FILENO) ? &terminal : nullptr;
  tarvo::ProgressSink* progress = options.Progress;
  try {
    PrintWarnings(tarvo::RunEngine(p, argv[1], options).Warnings);
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
