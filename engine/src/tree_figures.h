// The figures a candidate subtree or partition is scored by: leaves, errors and dispersion.
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

}  // namespace tarvo
