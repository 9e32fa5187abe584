// tarvo-run's picture options: --dot FILE, --svg FILE and --variant K, and the files they write.
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

// Takes the picture options out of argv, leaving the other arguments in their order. False, with
// a message, when an option lacks its value or the variant is not a number from 1.
bool TakePictureOptions(int& argc, char** argv, PictureOptions& options, std::string& error);

// Writes the DOT file (every tree) and the SVG file (the chosen variant). False, with a message,
// when the variant was not reported or a file cannot be written.
bool WritePictures(const PictureOptions& options, const std::vector<tarvo::TreeDescription>& trees,
                   std::string& error);
