// Reading a whole file into memory, up to a limit.
#include "file_bytes.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace tarvo {

TFileRead ReadFileBytes(const std::string& path, std::string& bytes, size_t limit) {
  bytes.clear();
  TFileRead outcome;
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    outcome.SystemError = errno;
    return outcome;
  }
  // A regular file tells its size: one over the limit is refused before a byte is read.
  struct stat status {};
  if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode) &&
      static_cast<unsigned long long>(status.st_size) > limit) {
    std::fclose(file);
    outcome.TooLarge = true;
    return outcome;
  }
  char buffer[65536];
  size_t got = 0;
  errno = 0;
  while (!outcome.TooLarge && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    // One byte past the limit is enough to know.
    const size_t room = limit - bytes.size();
    bytes.append(buffer, std::min(got, room));
    outcome.TooLarge = got > room;
  }
  outcome.SystemError = std::ferror(file) ? errno : 0;
  outcome.Read = !outcome.TooLarge && !std::ferror(file);
  std::fclose(file);
  if (outcome.TooLarge) bytes.clear();
  return outcome;
}

}  // namespace tarvo
