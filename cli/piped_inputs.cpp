// Private copies of the inputs that are pipes.
#include "piped_inputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "exit_status.h"

namespace {

// A pipe or a socket (such as /dev/stdin on a pipe): its bytes come once. A device is read as it
// is: /dev/zero never ends, and the readers stop it at their limits.
bool IsPipe(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return false;  // the run tells what is wrong with it
  return S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode);
}

// Copies every byte of from into to; false with errno set when a read or a write fails.
bool CopyBytes(std::FILE* from, std::FILE* to) {
  char buffer[1 << 16];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, from)) > 0) {
    if (std::fwrite(buffer, 1, got, to) != got) return false;
  }
  return !std::ferror(from);
}

}  // namespace

PipedInputs::~PipedInputs() {
  for (const std::string& copy : copies_) std::remove(copy.c_str());
  if (!folder_.empty()) rmdir(folder_.c_str());
}

std::string PipedInputs::Copy(const std::string& path, std::string& error) {
  if (folder_.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tarvo-run.XXXXXX";
    if (!mkdtemp(pattern.data())) {
      error = "cannot make a folder for a copy of " + path + ": " + std::strerror(errno);
      return {};
    }
    folder_ = pattern;
  }
  // Named as the pipe is, so that what the name tells (.csv, say) stays true.
  const std::string copy = folder_ + "/" + std::to_string(copies_.size() + 1) + "-" +
                           std::filesystem::path(path).filename().string();
  std::FILE* from = std::fopen(path.c_str(), "rb");
  if (!from) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return {};
  }
  std::FILE* to = std::fopen(copy.c_str(), "wb");
  if (!to) {
    error = "cannot copy " + path + " to " + copy + ": " + std::strerror(errno);
    std::fclose(from);
    return {};
  }
  copies_.push_back(copy);
  errno = 0;
  bool copied = CopyBytes(from, to);
  const int readError = errno;
  std::fclose(from);
  copied = std::fclose(to) == 0 && copied;
  if (!copied) {
    error = "cannot copy " + path + " to " + copy + ": " +
            std::strerror(readError != 0 ? readError : errno);
    return {};
  }
  return copy;
}

std::optional<int> PipedInputs::CopyPipes(CommandLine& line) {
  std::string error;
  if (IsPipe(line.Table)) {
    line.TableToRead = Copy(line.Table, error);
    if (line.TableToRead.empty()) {
      std::fprintf(stderr, "tarvo-run: %s\n", error.c_str());
      return kExitTableFault;
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
