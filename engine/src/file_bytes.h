// Whole files as bytes.
#pragma once

#include <cstddef>
#include <limits>
#include <string>

namespace tarvo {

// How reading a whole file went; true when every byte was read.
struct TFileRead {
  bool Read = false;
  bool TooLarge = false;  // it holds more bytes than the reader's limit
  int SystemError = 0;    // errno of a failed open or read
  explicit operator bool() const { return Read; }
};

// Reads the whole file, refusing one of more than limit bytes without reading past the limit (a
// device such as /dev/zero never ends).
TFileRead ReadFileBytes(const std::string& path, std::string& bytes,
                        size_t limit = std::numeric_limits<size_t>::max());

}  // namespace tarvo
