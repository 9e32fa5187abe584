// Finding prog.par: the working folder's own first, the installed copy after it.
#include "installed_files.h"

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "tarvo/install_paths.h"

namespace {

constexpr const char* kChiSquareFile = "prog.par";

// The installed data folder, relative to this program's own file; empty when unknown.
std::filesystem::path InstalledDataFolder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return program.parent_path() / TARVO_DATA_FROM_BIN;
}

}  // namespace

std::string ChooseChiSquareFile(const std::optional<std::string>& option) {
  if (option) return *option;
  if (access(kChiSquareFile, F_OK) == 0) return kChiSquareFile;
  const std::filesystem::path folder = InstalledDataFolder();
  if (!folder.empty()) {
    const std::filesystem::path installed = (folder / kChiSquareFile).lexically_normal();
    if (access(installed.c_str(), F_OK) == 0) return installed.string();
  }
  return kChiSquareFile;
}

std::string ChiSquareFilePlaces() {
  std::error_code error;
  std::string places = std::filesystem::current_path(error).string();
  const std::filesystem::path folder = InstalledDataFolder();
  if (!folder.empty()) places += " and in " + folder.lexically_normal().string();
  return places;
}
