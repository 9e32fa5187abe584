// A file that lives in memory, reached by name through /proc/self/fd: the fuzz targets hand their
// bytes to readers that take a file name, with no folder to create or clean up and no disk work
// per input.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

struct MemoryFile {
  explicit MemoryFile(const char* name) : fd(memfd_create(name, 0)) {
    if (fd < 0) std::abort();
    path = "/proc/self/fd/" + std::to_string(fd);
  }
  // Makes bytes the whole content of the file.
  void Fill(std::string_view bytes) const {
    if (ftruncate(fd, 0) != 0 ||
        pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
      std::abort();
    }
  }
  int fd;
  std::string path;
};
