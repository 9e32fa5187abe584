// Feeds arbitrary bytes to a whole run: the first line is a parameter line (read as param.par is
// read), the rest the table. The run goes through the engine's entry, from reading the table to the
// vote. To keep every input quick, the look-ahead is capped at 2, and the variants, folds and
// Monte-Carlo trials at small numbers; the search runs on one thread. The input's length picks
// the pruning rule, and whether a pruned run grows as its own defaults say or as the line says, so
// every case is also tried pruned as it mutates. Besides the sanitizers'
// findings, it stops when a run ends in a way the programs do not expect: an exception other than
// an engine error, a report without its message, or a fault message that is not the report's
// first line.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "memory_file.h"
#include "run_report_check.h"
#include "tarvo/engine.h"
#include "tarvo/parameters.h"
#include "tarvo/pruning.h"

namespace {

using namespace tarvo;

// Caps that keep a case fast; what is below them stays as the bytes say.
void Cap(RunParameters& p) {
  p.RecursiveComplexity = std::clamp(p.RecursiveComplexity, -2.0, 2.0);
  p.VariantsNumber = std::min(p.VariantsNumber, 3);
  p.FoldsCrossValidate = std::min(p.FoldsCrossValidate, 4);
  p.MonteCarlo = std::min(p.MonteCarlo, 50);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const size_t lineEnd = bytes.find('\n');
  const std::string_view parameterLine = bytes.substr(0, lineEnd);
  const std::string_view table =
      lineEnd == std::string_view::npos ? std::string_view() : bytes.substr(lineEnd + 1);
  static const MemoryFile parameterFile("param.par"), tableFile("table.txt"),
      reportFile("output.txt");
  parameterFile.Fill(parameterLine);
  tableFile.Fill(table);
  reportFile.Fill("");

  RunParameters parameters = ReadParameterFile(parameterFile.path);
  Cap(parameters);
  RunOptions options;
  options.Prune = static_cast<PruneRule>(size % 3);
  const bool lineSetsGrowth = size / 3 % 2 == 0;
  UsePruneGrowth(options.Prune, lineSetsGrowth, lineSetsGrowth, parameters);
  options.SearchThreads = 1;
  options.ReportFileName = reportFile.path;
  options.ChiSquareFileName = TARVO_PROG_PAR;
  RunAndCheckReport(parameters, tableFile.path, options);
  return 0;
}
