// WritePictures: the DOT and SVG files, each written whole or reported as an error.
#include "picture_options.h"

#include <fstream>

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
