#include "unnamed_temp_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

int CreateUnnamedTempFile(std::string& pattern) {
  const char* folder = std::getenv("TMPDIR");
  pattern = std::string(folder && *folder ? folder : "/tmp") + "/tarvo-run-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int descriptor = mkostemp(name.data(), O_CLOEXEC);
  if (descriptor < 0) return -1;
  unlink(name.data());
  if (descriptor <= STDERR_FILENO) {
    // A closed standard stream would otherwise be this file: writing "to standard output" would
    // then write into it.
    const int moved = fcntl(descriptor, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    const int error = errno;
    close(descriptor);
    errno = error;
    descriptor = moved;
  }
  return descriptor;
}

std::string DescriptorFileName(int descriptor) {
  return "/proc/self/fd/" + std::to_string(descriptor);
}
