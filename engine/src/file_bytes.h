// Whole files as bytes.
#pragma once

#include <string>

namespace tarvo {

// Reads the whole file; false when it cannot be opened or read.
bool ReadFileBytes(const std::string& path, std::string& bytes);

}  // namespace tarvo
