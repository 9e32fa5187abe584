// The names of the pruning rules and the growth of a pruned run.
#include "tarvo/pruning.h"

#include <vector>

#include "tarvo/table_columns.h"

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

void UsePruneGrowth(PruneRule rule, const std::string& tableFileName, bool targetWeightSet,
                    bool homogeneitySet, RunParameters& parameters) {
  if (rule == PruneRule::None) return;
  if (!targetWeightSet) parameters.TargetWeight = kPruneTargetWeight;
  // A regression run keeps its homogeneity: the level of its chi-square test.
  if (homogeneitySet) return;
  std::vector<TableColumn> columns;
  const int32_t target = parameters.FeatureToPredict;
  if (!ReadTableColumns(tableFileName, columns) || target < 1 ||
      target > static_cast<int32_t>(columns.size()) || !columns[target - 1].Nominal) {
    return;
  }
  parameters.Homogeneity = kPruneHomogeneity;
}

}  // namespace tarvo
