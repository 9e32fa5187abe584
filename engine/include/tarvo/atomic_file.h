// Files replaced whole: the bytes go to a temporary file in the same folder, which takes the
// file's name only when it is complete. A failed or stopped write leaves the old file as it was.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace tarvo {

class AtomicFile {
 public:
  AtomicFile() = default;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  // Removes a temporary file that was not committed.
  ~AtomicFile();

  // Starts writing path. A name that is a symbolic link, or a file that is not a regular one (a
  // device, a pipe), is written in place, as is a file whose folder takes no new file. False,
  // with errno set, when nothing can be opened.
  bool Open(const std::string& path);
  std::FILE* Stream() const { return file_; }
  // Writes out what is buffered, closes, and puts the file in place. Returns 0, or the system's
  // error number; the temporary file is then gone.
  int Commit();
  // Closes and removes the temporary file (an in-place file keeps what it got).
  void Discard();
  // Writes bytes and commits them; on a failed write discards instead. 0 or the error number.
  int WriteAndCommit(std::string_view bytes);

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  std::string temporary_;  // empty when writing in place
};

// Writes bytes as the whole file path. Returns 0 or the system's error number.
int WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace tarvo
