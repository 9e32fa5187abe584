// A run on a table file through the engine's entry, and what its report must look like when it
// returns: the fault message as the report's first line, or a report that begins with a tree.
// An engine error is an outcome the programs show; any other exception reaches libFuzzer.
#pragma once

#include <string>

#include "file_bytes.h"
#include "fuzz_require.h"
#include "tarvo/engine.h"

inline void RunAndCheckReport(tarvo::RunParameters& parameters, const std::string& tablePath,
                              const tarvo::RunOptions& options) {
  tarvo::RunResult result;
  try {
    result = tarvo::RunEngine(parameters, tablePath, options);
  } catch (const tarvo::EngineError&) {
    return;
  }
  std::string report;
  Require(tarvo::ReadFileBytes(options.ReportFileName, report).Read, "cannot read the report");
  Require(!report.empty(), "a run that returned wrote no report");
  if (result.TableFault) {
    Require(!result.FaultMessage.empty(), "a fault without its message");
    Require(report.compare(0, result.FaultMessage.size(), result.FaultMessage) == 0,
            "the fault message is not the report's first line");
  } else {
    Require(report.rfind("****", 0) == 0, "a complete report that does not begin with a tree");
  }
}
