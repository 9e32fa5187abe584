// The files of tarvo-run's picture options: DOT of every reported tree, SVG of one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tarvo/tree_description.h"

struct PictureOptions {
  std::string DotFile;  // empty: no DOT file
  std::string SvgFile;  // empty: no SVG file
  int32_t Variant = 1;  // the variant drawn in the SVG file
  bool Wanted() const { return !DotFile.empty() || !SvgFile.empty(); }
};

// Writes the DOT file (every tree) and the SVG file (the chosen variant). False, with a message,
// when the variant was not reported or a file cannot be written.
bool WritePictures(const PictureOptions& options, const std::vector<tarvo::TreeDescription>& trees,
                   std::string& error);
