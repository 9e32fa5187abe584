// Applying the tree in Root to a table of objects.
#pragma once

#include <cstdint>

#include "branch_finder.h"
#include "run_state.h"

namespace tarvo {

// The answer of a subtree for one object: the class counts and mean of the node that answers.
struct TTreeAnswer {
  TClassCounts ClassCount{};
  double Mean = 0.0;
};

// Routes the object down from node while its values are known and accepted by a branch.
TTreeAnswer RouteObject(const TNodeRec& node, const TDataTable& table, int32_t object,
                        TBranchFinder& branches);

// Predicts objects 1..n of table with the tree in Root. With report, writes the prediction
// section and stores each prediction in Votes under TreeCount, and returns the error over the
// objects whose true value is known; without, returns the misclassification frequency or the
// root mean squared error over all n objects.
double PredictObjects(TRunState& run, const TDataTable& table, int32_t n, bool report);

}  // namespace tarvo
