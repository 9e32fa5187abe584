// Feeds arbitrary bytes to a whole run: the first line is a parameter line (read as param.par is
// read), the rest the table. The run goes through the engine's entry, from reading the table to the
// vote. To keep every input quick, the look-ahead is capped at 2, and the variants, folds and
// Monte-Carlo trials at small numbers; the search runs on one thread. Besides the sanitizers'
// findings, it stops when a run ends in a way the programs do not expect: an exception other than
// an engine error, a report without its message, or a fault message that is not the report's
// first line.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "file_bytes.h"
#include "memory_file.h"
#include "tarvo/engine.h"
#include "tarvo/parameters.h"

namespace {

using namespace tarvo;

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz_whole_run: %s\n", what);
    std::abort();
  }
}

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
  options.SearchThreads = 1;
  options.ReportFileName = reportFile.path;
  options.ChiSquareFileName = TARVO_PROG_PAR;
  RunResult result;
  try {
    result = RunEngine(parameters, tableFile.path, options);
  } catch (const EngineError&) {
    return 0;  // a run error is an outcome the programs show
  }
  std::string report;
  Require(ReadFileBytes(reportFile.path, report).Read, "cannot read the report");
  Require(!report.empty(), "a run that returned wrote no report");
  if (result.TableFault) {
    Require(!result.FaultMessage.empty(), "a fault without its message");
    Require(report.compare(0, result.FaultMessage.size(), result.FaultMessage) == 0,
            "the fault message is not the report's first line");
  } else {
    Require(report.rfind("****", 0) == 0, "a complete report that does not begin with a tree");
  }
  return 0;
}
