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

namespace {

// Whether the table's column `target` (1-based) is nominal; false when the table does not read.
bool PredictedColumnIsNominal(const std::string& tableFileName, TableFormat format,
                              const CsvOptions& csv, int32_t target) {
  if (format == TableFormat::Described) {
    std::vector<TableColumn> columns;
    return ReadTableColumns(tableFileName, columns) && target >= 1 &&
           target <= static_cast<int32_t>(columns.size()) && columns[target - 1].Nominal;
  }
  // A CSV column's kind shows only in its values.
  CsvOptions options = csv;
  options.Separator = format == TableFormat::Tsv ? '\t' : ',';
  Table table;
  std::string fault;
  return ReadCsvTable(tableFileName, options, table, fault) && target >= 1 &&
         target <= static_cast<int32_t>(table.Columns.size()) && table.Columns[target - 1].Nominal;
}

}  // namespace

void UsePruneGrowth(PruneRule rule, const std::string& tableFileName, TableFormat format,
                    const CsvOptions& csv, bool targetWeightSet, bool homogeneitySet,
                    RunParameters& parameters) {
  if (rule == PruneRule::None) return;
  if (!targetWeightSet) parameters.TargetWeight = kPruneTargetWeight;
  // A regression run keeps its homogeneity: the level of its chi-square test.
  if (homogeneitySet) return;
  if (PredictedColumnIsNominal(tableFileName, format, csv, parameters.FeatureToPredict)) {
    parameters.Homogeneity = kPruneHomogeneity;
  }
}

}  // namespace tarvo
