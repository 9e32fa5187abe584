// TakePictureOptions and WritePictures.
#include "picture_options.h"

#include <cstring>
#include <fstream>

#include "tarvo/numbers.h"
#include "tree_dot.h"
#include "tree_graphviz.h"

namespace {

bool WriteFile(const std::string& name, const std::string& bytes, std::string& error) {
  std::ofstream file(name, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) {
    error = "Cannot write file " + name;
    return false;
  }
  return true;
}

}  // namespace

bool TakePictureOptions(int& argc, char** argv, PictureOptions& options, std::string& error) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const char* option = argv[i];
    const bool dot = std::strcmp(option, "--dot") == 0;
    const bool svg = std::strcmp(option, "--svg") == 0;
    const bool variant = std::strcmp(option, "--variant") == 0;
    if (!dot && !svg && !variant) {
      argv[kept++] = argv[i];
      continue;
    }
    if (i + 1 >= argc) {
      error = std::string(option) + " needs a value";
      return false;
    }
    const char* value = argv[++i];
    if (dot) options.DotFile = value;
    if (svg) options.SvgFile = value;
    if (variant && (!tarvo::ParseIntegerToken(value, options.Variant) || options.Variant < 1)) {
      error = "--variant needs a whole number from 1";
      return false;
    }
  }
  argc = kept;
  argv[argc] = nullptr;
  return true;
}

bool WritePictures(const PictureOptions& options, const std::vector<tarvo::TreeDescription>& trees,
                   std::string& error) {
  if (!options.DotFile.empty() && !WriteFile(options.DotFile, tarvo::TreesToDot(trees), error)) {
    return false;
  }
  if (options.SvgFile.empty()) return true;
  for (const tarvo::TreeDescription& tree : trees) {
    if (tree.Variant != options.Variant) continue;
    try {
      return WriteFile(options.SvgFile, tarvo::RenderTreeSvg(tree), error);
    } catch (const tarvo::PictureError& failure) {
      error = failure.what();
      return false;
    }
  }
  error = "The report has no variant " + std::to_string(options.Variant) + " to draw";
  return false;
}
