// The report on a file or on standard output. Standard output gets the report only when the run
// has ended with a report (complete or holding a fault), never a stopped run's part of one.
#include "report_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::string SystemError(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

}  // namespace

ReportOutput::ReportOutput(std::string destination) {
  if (destination != "-") {
    fileName_ = std::move(destination);
    return;
  }
  toStandardOutput_ = true;
  const char* folder = std::getenv("TMPDIR");
  std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/tarvo-run-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int descriptor = mkstemp(name.data());
  if (descriptor < 0) {
    error_ = SystemError("cannot create a temporary report in " + pattern);
    return;
  }
  close(descriptor);
  fileName_ = name.data();
}

ReportOutput::~ReportOutput() {
  if (toStandardOutput_ && !fileName_.empty()) std::remove(fileName_.c_str());
}

bool ReportOutput::Deliver() {
  if (!toStandardOutput_) return true;
  std::FILE* report = std::fopen(fileName_.c_str(), "rb");
  if (!report) {
    error_ = SystemError("cannot read the report " + fileName_);
    return false;
  }
  char buffer[65536];
  size_t got = 0;
  bool written = true;
  while (written && (got = std::fread(buffer, 1, sizeof buffer, report)) > 0) {
    written = std::fwrite(buffer, 1, got, stdout) == got;
  }
  const bool read = !std::ferror(report);
  std::fclose(report);
  written = written && std::fflush(stdout) == 0;
  if (!written) error_ = SystemError("cannot write the report to standard output");
  if (!read) error_ = "cannot read the report " + fileName_;
  return read && written;
}
