// The names of the pruning rules and the growth of a pruned run.
#include "tarvo/pruning.h"

namespace tarvo {

bool ParsePruneRule(const std::string& text, PruneRule& rule) {
  if (text == "none") {
    rule = PruneRule::None;
  } else if (text == "min") {
    rule = PruneRule::Min;
  } else if (text == "1se") {
    rule = PruneRule::OneSe;
  } else {
    return false;
  }
  return true;
}

const char* PruneRuleName(PruneRule rule) {
  switch (rule) {
    case PruneRule::Min:
      return "min";
    case PruneRule::OneSe:
      return "1se";
    case PruneRule::None:
      break;
  }
  return "none";
}

double PruneTargetWeight(double recursiveComplexity) {
  return recursiveComplexity < kPruneMultiwayLookAhead ? kPruneBinaryTargetWeight
                                                       : kPruneTargetWeight;
}

void UsePruneGrowth(PruneRule rule, bool targetWeightSet, bool homogeneitySet,
                    RunParameters& parameters) {
  // Without two folds nothing is pruned, and the tree grows as without pruning.
  if (rule == PruneRule::None || parameters.FoldsCrossValidate < 2) return;
  if (!targetWeightSet) parameters.TargetWeight = PruneTargetWeight(parameters.RecursiveComplexity);
  if (!homogeneitySet) parameters.Homogeneity = kPruneHomogeneity;
}

}  // namespace tarvo
