// FileClashCheck: files compared by identity when they exist, by their full path when not.
#include "file_roles.h"

#include <filesystem>
#include <system_error>

namespace {

namespace fs = std::filesystem;

bool SameFile(const std::string& a, const std::string& b) {
  if (a == "-" || b == "-") return a == b;
  std::error_code error;
  if (fs::equivalent(a, b, error) && !error) return true;
  if (fs::exists(a, error) && fs::exists(b, error)) return false;
  const fs::path fullA = fs::weakly_canonical(fs::absolute(a, error), error);
  const fs::path fullB = fs::weakly_canonical(fs::absolute(b, error), error);
  return !error && fullA == fullB;
}

std::string Named(const FileRole& role) {
  return role.Path == "-" ? role.What + " (standard output)" : role.What + " " + role.Path;
}

}  // namespace

std::optional<std::string> FileClashCheck::FirstClash() const {
  for (size_t o = 0; o < Outputs.size(); ++o) {
    const FileRole& output = Outputs[o];
    for (const FileRole& input : Inputs) {
      if (input.What == output.What || input.Path == "-") continue;
      if (SameFile(output.Path, input.Path)) {
        return Named(output) + " is " + Named(input) + "; the run would overwrite it";
      }
    }
    for (size_t p = 0; p < o; ++p) {
      if (SameFile(output.Path, Outputs[p].Path)) {
        return Named(output) + " is also " + Named(Outputs[p]) + "; give them different files";
      }
    }
  }
  return std::nullopt;
}
