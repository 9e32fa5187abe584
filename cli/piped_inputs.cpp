// Copies of the inputs that are pipes.
#include "piped_inputs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "exit_status.h"
#include "table_input.h"
#include "tarvo/table_file.h"
#include "unnamed_temp_file.h"

namespace {

// A pipe, a socket or a terminal (such as /dev/stdin): its bytes come once. Another device is
// read as it is: /dev/zero never ends, and the readers stop it at their limits.
bool IsPipe(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return false;  // the run tells what is wrong with it
  if (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)) return true;
  if (!S_ISCHR(status.st_mode)) return false;
  const int descriptor = open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) return false;
  const bool terminal = isatty(descriptor) != 0;
  close(descriptor);
  return terminal;
}

// Writes all of bytes[0..size-1]; false with errno set when it cannot.
bool WriteAll(int descriptor, const char* bytes, size_t size) {
  while (size > 0) {
    const ssize_t written = write(descriptor, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

PipedInputs::~PipedInputs() {
  for (int descriptor : copies_) close(descriptor);
}

std::string PipedInputs::Copy(const std::string& path, size_t limit, std::string& error) {
  const int from = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (from < 0) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return {};
  }
  std::string pattern;
  const int to = CreateUnnamedTempFile(pattern);
  if (to < 0) {
    error = "cannot make a copy of " + path + " in " + pattern + ": " + std::strerror(errno);
    close(from);
    return {};
  }
  copies_.push_back(to);
  char buffer[1 << 16];
  // One byte past the limit tells the reader that the input is too large.
  for (size_t copied = 0; copied <= limit;) {
    const ssize_t got = read(from, buffer, std::min(sizeof buffer, limit + 1 - copied));
    if (got == 0) break;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || !WriteAll(to, buffer, static_cast<size_t>(got))) {
      error = std::string("cannot copy ") + path + ": " + std::strerror(errno);
      close(from);
      return {};
    }
    copied += static_cast<size_t>(got);
  }
  close(from);
  return DescriptorFileName(to);
}

std::optional<int> PipedInputs::CopyPipes(CommandLine& line) {
  std::string error;
  if (IsPipe(line.Table)) {
    // A table file is read whole up to its limit; a CSV or TSV table, row by row, has none.
    const size_t limit = TableFormatOf(line) == tarvo::TableFormat::Described
                             ? tarvo::kMaxTableFileBytes
                             : std::numeric_limits<size_t>::max() - 1;
    line.TableToRead = Copy(line.Table, limit, error);
    if (line.TableToRead.empty()) {
      std::fprintf(stderr, "tarvo-run: %s\n", error.c_str());
      return kExitRunError;
    }
  }
  if (line.ChiSquareFile && IsPipe(*line.ChiSquareFile)) {
    line.ChiSquareFile = Copy(*line.ChiSquareFile, tarvo::kMaxTableFileBytes, error);
    if (line.ChiSquareFile->empty()) {
      std::fprintf(stderr, "tarvo-run: %s\n", error.c_str());
      return kExitRunError;
    }
  }
  return std::nullopt;
}
