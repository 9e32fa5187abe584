// The system's reason for a failed file operation, as the tail of an error message.
#pragma once

#include <cstring>
#include <string>

namespace tarvo {

// " (reason)" for an errno value, empty for 0.
inline std::string WithSystemReason(int error) {
  if (error == 0) return std::string();
  return std::string(" (") + std::strerror(error) + ")";
}

}  // namespace tarvo
