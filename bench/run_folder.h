// A temporary working folder for engine runs: it holds the table, prog.par and the report, and
// a run changes into it only for the length of the call.
#pragma once

#include <filesystem>
#include <string>

#include "tarvo/engine.h"
#include "tarvo/parameters.h"

namespace tarvo::bench {

// The chi-square table the runs copy: $TARVO_BENCH_PROG_PAR when set (for a checkout whose
// data/prog.par has not been generated yet), else the project's data/prog.par.
std::string ProgParPath();

class RunFolder {
 public:
  RunFolder();
  ~RunFolder();
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  // Writes table.txt and copies prog.par. False, with the reason in *error, when either fails.
  bool Prepare(const std::string& tableText, std::string* error);

  // One RunEngine call on table.txt inside the folder, with a fresh copy of the parameters
  // (the engine may change them). False, with the reason in *error, when the run throws.
  bool Run(const RunParameters& parameters, ProgressSink* progress, std::string* error);

  // The bytes of output.txt left by the last run.
  std::string ReadReport() const;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace tarvo::bench
