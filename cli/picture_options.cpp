// WritePictures: the DOT and SVG files, each written whole or reported as an error.
#include "picture_options.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tarvo/atomic_file.h"
#include "tree_dot.h"
#include "tree_graphviz.h"

namespace {

// A file replaced only once complete, or standard output for "-".
bool WriteFile(const std::string& name, const std::string& bytes, std::string& error) {
  if (name == "-") {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
        std::fflush(stdout) == 0) {
      return true;
    }
    error =
        std::string("Cannot write to standard output (") + std::strerror(errno ? errno : EIO) + ")";
    return false;
  }
  if (const int failure = tarvo::WriteFileAtomically(name, bytes); failure != 0) {
    error = "Cannot write file " + name + " (" + std::strerror(failure) + ")";
    return false;
  }
  return true;
}

}  // namespace

bool WritePictures(const PictureOptions& options, const std::vector<tarvo::TreeDescription>& trees,
                   std::string& error) {
  // The SVG is drawn first: a variant that was not reported writes no file at all.
  std::string svg;
  if (!options.SvgFile.empty()) {
    const tarvo::TreeDescription* drawn = nullptr;
    for (const tarvo::TreeDescription& tree : trees) {
      if (tree.Variant == options.Variant) {
        drawn = &tree;
        break;
      }
    }
    if (!drawn) {
      error = "The report has no variant " + std::to_string(options.Variant) + " to draw";
      return false;
    }
    try {
      svg = tarvo::RenderTreeSvg(*drawn);
    } catch (const tarvo::PictureError& failure) {
      error = failure.what();
      return false;
    }
  }
  if (!options.DotFile.empty() && !WriteFile(options.DotFile, tarvo::TreesToDot(trees), error)) {
    return false;
  }
  return options.SvgFile.empty() || WriteFile(options.SvgFile, svg, error);
}
