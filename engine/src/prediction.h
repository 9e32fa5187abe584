// Applying a kept tree to the objects of a run: the report's prediction section, and the silent
// test of a fold's tree.
#pragma once

#include <cstdint>

#include "run_state.h"
#include "tarvo/model.h"

namespace tarvo {

// Writes the prediction section of tree for the objects to predict, and stores each answer in
// Votes under TreeCount. The error line counts the objects whose true value is known.
void WritePredictionSection(TRunState& run, const ModelTree& tree);

// The error of the tree in Root on objects 1..n of table: the misclassification frequency or the
// root mean squared error over all n objects.
double TestTreeInRoot(TRunState& run, const TDataTable& table, int32_t n);

}  // namespace tarvo
