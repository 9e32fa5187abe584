// Hands the tree just written to the report to the run's tree observer, as a plain description.
#pragma once

#include "run_state.h"
#include "tarvo/tree_description.h"

namespace tarvo {

// The description of the tree at Root, read from its records as the report reads them.
TreeDescription DescribeTree(const TRunState& run);

// Calls the observer, when the run has one, with the description of the tree at Root.
void ShowTreeToObserver(const TRunState& run);

}  // namespace tarvo
