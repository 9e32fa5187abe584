// The figures a candidate subtree or partition is scored by: leaves, errors and dispersion, and
// the score a node's search found.
#pragma once

#include <cstdint>

namespace tarvo {

// For a subtree: its leaves, the objects outside its leaves' majority classes, and its within
// dispersion. For a partition: the sums of its branches' leaves and errors, and its branches'
// within dispersions weighted by their object counts, per known object.
struct TTreeFigures {
  int32_t Leaves = 0;
  int32_t Errors = 0;
  double Dispersion = 0.0;
};

// What the search of a node returns besides the split it gives the node.
struct TSearchResult {
  double Score = 0.0;                 // lower is better
  TTreeFigures Figures{.Leaves = 1};  // of the subtree the search gave the node
};

}  // namespace tarvo
