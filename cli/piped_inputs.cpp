// Copies of the inputs that are pipes.
#include "piped_inputs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "exit_status.h"
#include "unnamed_temp_file.h"

namespace {

// A pipe or a socket (such as /dev/stdin on a pipe): its bytes come once. A device is read as it
// is: /dev/zero never ends, and the readers stop it at their limits.
bool IsPipe(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return false;  // the run tells what is wrong with it
  return S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode);
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

std::string PipedInputs::Copy(const std::string& path, std::string& error) {
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
  for (;;) {
    const ssize_t got = read(from, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || !WriteAll(to, buffer, static_cast<size_t>(got))) {
      error = std::string("cannot copy ") + path + ": " + std::strerror(errno);
      close(from);
      return {};
    }
  }
  close(from);
  return DescriptorFileName(to);
}

std::optional<int> PipedInputs::CopyPipes(CommandLine& line) {
  std::string error;
  if (IsPipe(line.Table)) {
    line.TableToRead = Copy(line.Table, error);
    if (line.TableToRead.empty()) {
      std::fprintf(stderr, "tarvo-run: %s\n", error.c_str());
      return kExitRunError;
    }
  }
  if (line.ChiSquareFile && IsPipe(*line.ChiSquareFile)) {
    line.ChiSquareFile = Copy(*line.ChiSquareFile, error);
    if (line.ChiSquareFile->empty()) {
      std::fprintf(stderr, "tarvo-run: %s\n", error.c_str());
      return kExitRunError;
    }
  }
  return std::nullopt;
}
