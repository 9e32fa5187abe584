// The report on a file or on standard output. Standard output gets the report only when the run
// has ended with a report (complete or holding a fault), never a stopped run's part of one.
#include "report_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "unnamed_temp_file.h"

namespace {

std::string SystemError(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

}  // namespace

ReportOutput::ReportOutput(std::string destination) {
  if (destination != "-") {
    fileName_ = std::move(destination);
    return;
  }
  // Standard output that is closed takes no report: say so now, before the run.
  if (fcntl(STDOUT_FILENO, F_GETFD) < 0) {
    error_ = SystemError("cannot write the report to standard output", errno);
    return;
  }
  std::string pattern;
  descriptor_ = CreateUnnamedTempFile(pattern);
  if (descriptor_ < 0) {
    error_ = SystemError("cannot create a temporary report in " + pattern, errno);
    return;
  }
  // The engine opens the report by its name; this one is reached through the descriptor.
  fileName_ = DescriptorFileName(descriptor_);
}

ReportOutput::~ReportOutput() {
  if (descriptor_ >= 0) close(descriptor_);
}

bool ReportOutput::Deliver() {
  if (descriptor_ < 0) return true;
  if (lseek(descriptor_, 0, SEEK_SET) != 0) {
    error_ = SystemError("cannot read the temporary report", errno);
    return false;
  }
  char buffer[65536];
  ssize_t got = 0;
  while ((got = read(descriptor_, buffer, sizeof buffer)) > 0) {
    if (std::fwrite(buffer, 1, static_cast<size_t>(got), stdout) != static_cast<size_t>(got)) {
      error_ = SystemError("cannot write the report to standard output", errno);
      return false;
    }
  }
  if (got < 0) {
    error_ = SystemError("cannot read the temporary report", errno);
    return false;
  }
  if (std::fflush(stdout) != 0) {
    error_ = SystemError("cannot write the report to standard output", errno);
    return false;
  }
  return true;
}

bool ReportOutput::MarkStopped() {
  if (descriptor_ >= 0) return true;
  const int file = open(fileName_.c_str(), O_RDWR | O_CLOEXEC);
  if (file < 0) {
    error_ = SystemError("cannot mark the report " + fileName_ + " as incomplete", errno);
    return false;
  }
  std::string line = std::string(kStoppedReportLine) + "\r\n";
  const off_t size = lseek(file, 0, SEEK_END);
  char last = '\n';
  if (size > 0 && pread(file, &last, 1, size - 1) == 1 && last != '\n') line = "\r\n" + line;
  const bool written = write(file, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  const int error = errno;
  close(file);
  if (!written)
    error_ = SystemError("cannot mark the report " + fileName_ + " as incomplete", error);
  return written;
}
