// k-fold cross-validation of the current variant, and the weighted vote of the trees.
#pragma once

#include <cstdint>
#include <vector>

#include "run_state.h"

namespace tarvo {

class TTreeGrower;

// Deals every object 1..N into a fold 1..k with one draw of the run's generator each.
void AssignFolds(TRunState& run, int32_t k);

// The standard deviation of the Active objects' values, 0 when it is undefined or the values
// agree (tested exactly: the sums of equal decimals leave rounding dust).
double TrainingSpread(const TRunState& run);

// An empty line and the line with the cross-validation error of k folds.
void WriteCrossValidationLines(TRunState& run, int32_t k, double error);

// Grows a tree on all folds but one and tests it on the held-out fold, for every fold in turn;
// writes the cross-validation lines and returns the sum of the weighted fold errors. Active is
// restored on return; Root holds the tree of the last fold that had training objects.
double CrossValidate(TRunState& run, TTreeGrower& grower);

// Writes the voting section of the trees the run has kept, weighted as their model weighs them.
void VoteTrees(TRunState& run);

}  // namespace tarvo
