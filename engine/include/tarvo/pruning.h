// Cost-complexity pruning of the run's trees, its size chosen by cross-validation.
#pragma once

#include <string>

#include "tarvo/parameters.h"

namespace tarvo {

enum class PruneRule {
  None,   // trees as grown
  Min,    // the subtree with the least cross-validation error
  OneSe,  // the smallest subtree within one standard error of the least
};

// A pruned run grows past the size that the stop tests give by default, for pruning to cut back.
// Its splits carry no fixed cost (0.1 per split in a run without pruning), so that growth goes
// deeper; and unless the caller sets them it grows with the target weight and the homogeneity
// below. Homogeneity 0 lets a classification node grow until it is pure, and a regression node
// until its values agree (a pruned run skips the dispersion test at that level).
constexpr double kPruneSplitCost = 0.0;
// Below this look-ahead a pruned run grows binary trees; from it on, the multiway splits of a run
// without pruning.
constexpr double kPruneMultiwayLookAhead = 2.0;
// The target weight of multiway growth: below 1 it keeps the branches of a split few, which
// pruning needs, as it collapses a node whole.
constexpr double kPruneTargetWeight = 0.5;
// The target weight of binary growth: a split has two branches whatever the weight, so a large one
// only lets a cut pay for its leaf sooner and the tree grow nearly until its leaves are pure.
constexpr double kPruneBinaryTargetWeight = 25.0;
constexpr double kPruneHomogeneity = 0.0;

// The target weight a pruned run grows with at look-ahead recursiveComplexity.
double PruneTargetWeight(double recursiveComplexity);

// "none", "min" or "1se"; false for any other text.
bool ParsePruneRule(const std::string& text, PruneRule& rule);
const char* PruneRuleName(PruneRule rule);

// Gives a pruned run the growth it prunes back from: the target weight of its look-ahead
// (PruneTargetWeight) and the homogeneity kPruneHomogeneity. A value the caller has set itself
// (targetWeightSet, homogeneitySet) stays. The rule None changes nothing, nor do fewer than two
// folds (parameters.FoldsCrossValidate), with which nothing is pruned.
void UsePruneGrowth(PruneRule rule, bool targetWeightSet, bool homogeneitySet,
                    RunParameters& parameters);

}  // namespace tarvo
