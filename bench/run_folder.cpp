#include "run_folder.h"

#include <stdlib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace tarvo::bench {

#ifndef TARVO_PROG_PAR
#error "TARVO_PROG_PAR must name the project's data/prog.par"
#endif

std::string ProgParPath() {
  const char* override = std::getenv("TARVO_BENCH_PROG_PAR");
  if (override != nullptr && override[0] != '\0') return override;
  return TARVO_PROG_PAR;
}

namespace {

// Changes into a folder and back again when it leaves scope, also when the run throws.
class ScopedCurrentPath {
 public:
  explicit ScopedCurrentPath(const std::filesystem::path& to)
      : from_(std::filesystem::current_path()) {
    std::filesystem::current_path(to);
  }
  ~ScopedCurrentPath() {
    std::error_code ignored;
    std::filesystem::current_path(from_, ignored);
  }
  ScopedCurrentPath(const ScopedCurrentPath&) = delete;
  ScopedCurrentPath& operator=(const ScopedCurrentPath&) = delete;

 private:
  std::filesystem::path from_;
};

bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

RunFolder::RunFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarvo-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create a temporary folder from " + pattern);
  }
  path_ = pattern;
}

RunFolder::~RunFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

bool RunFolder::Prepare(const std::string& tableText, std::string* error) {
  const std::string progPar = ProgParPath();
  if (!std::filesystem::is_regular_file(progPar)) {
    *error = "no chi-square table at " + progPar +
             " (generate data/prog.par, or point TARVO_BENCH_PROG_PAR at one)";
    return false;
  }
  std::error_code copyError;
  std::filesystem::copy_file(progPar, path_ / "prog.par",
                             std::filesystem::copy_options::overwrite_existing, copyError);
  if (copyError) {
    *error = "cannot copy " + progPar + ": " + copyError.message();
    return false;
  }
  if (!WriteFile(path_ / "table.txt", tableText)) {
    *error = "cannot write " + (path_ / "table.txt").string();
    return false;
  }
  return true;
}

bool RunFolder::Run(const RunParameters& parameters, ProgressSink* progress, std::string* error) {
  RunParameters p = parameters;
  try {
    ScopedCurrentPath inside(path_);
    RunEngine(p.TargetWeight, p.RecursiveComplexity, p.Homogeneity, p.MonteCarlo, p.VariantsNumber,
              p.FeatureToPredict, p.FoldsCrossValidate, "table.txt", progress);
  } catch (const std::exception& e) {
    *error = std::string("run failed: ") + e.what();
    return false;
  }
  return true;
}

std::string RunFolder::ReadReport() const {
  std::ifstream in(path_ / "output.txt", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tarvo::bench
