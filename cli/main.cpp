// tarvo-run: the "Grow Tree" run without a window. Reads param.par from the current folder, runs
// the engine on TABLE and leaves output.txt there.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "picture_options.h"
#include "tarvo/engine.h"
#include "tarvo/parameters.h"
#include "tree_collector.h"

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
      "  --help         show this text\n"
      "  --version      show the version\n"
      "  --dot FILE     also write the reported trees to FILE in Graphviz DOT, one digraph each\n"
      "  --svg FILE     also write a picture of one reported tree to FILE as SVG\n"
      "  --variant K    the tree that --svg draws (default 1)\n",
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

}  // namespace

int main(int argc, char** argv) {
  PictureOptions pictures;
  std::string pictureError;
  if (!TakePictureOptions(argc, argv, pictures, pictureError)) {
    std::fprintf(stderr, "tarvo-run: %s\n", pictureError.c_str());
    PrintUsage(stderr);
    return kExitUsage;
  }
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

  tarvo::RunParameters p = tarvo::ReadParameterFile("param.par");
  TerminalProgress terminal;
  tarvo::ProgressSink* progress = isatty(STDERR_FILENO) ? &terminal : nullptr;
  try {
    tarvo::TreeCollector trees;
    tarvo::RunOptions options;
    options.Progress = progress;
    if (pictures.Wanted()) options.Observer = &trees;
    const tarvo::RunResult result = tarvo::RunEngine(p, argv[1], options);
    if (pictures.Wanted() && !result.TableFault &&
        !WritePictures(pictures, trees.Trees, pictureError)) {
      std::fprintf(stderr, "%s\n", pictureError.c_str());
      return kExitEngineError;
    }
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
