// The files of one tarvo-run: what it reads and what it writes. No output may be the same file as
// an input or as another output: a run would overwrite what it reads, or one output another.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct FileRole {
  std::string Path;  // "-" is standard output
  std::string What;  // "the table", "the SVG picture", ...
};

// The first clash, as one line naming both files; nothing when every output is a file of its own.
// A file is the same as another when both name one existing file (through links too) or, for a
// file not yet made, the same path. Two outputs on standard output clash as well. An output may be
// the input of the same role (the same What): the parameter file that --write-param rewrites.
struct FileClashCheck {
  std::vector<FileRole> Inputs, Outputs;
  std::optional<std::string> FirstClash() const;
};
