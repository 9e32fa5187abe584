// ReadObjectsToPredict: a table read as the model sees its columns.
#include "tarvo/model_input.h"

#include <cstdint>
#include <vector>

#include "input_table.h"
#include "tarvo/table_columns.h"
#include "tarvo/table_file.h"

namespace tarvo {

namespace {

// The column a table file's reader checks as the predicted one: the model's, when the table has
// it, else a numeric column (whose count of values is never a fault), else the first.
int32_t ColumnToCheck(const std::string& path, const Model& model) {
  std::vector<TableColumn> columns;
  if (!ReadTableColumns(path, columns) || columns.empty()) return 1;
  const std::string& predicted = model.Columns[model.PredictedColumn - 1].Name;
  const int32_t found = FindTableColumn(columns, predicted.substr(0, kTokenLength));
  if (found > 0) return found;
  for (size_t f = 0; f < columns.size(); ++f) {
    if (!columns[f].Nominal) return static_cast<int32_t>(f) + 1;
  }
  return 1;
}

}  // namespace

bool ReadObjectsToPredict(const Model& model, const std::string& path, TableFormat format,
                          CsvOptions options, Table& table, std::string& fault) {
  if (format == TableFormat::Described) {
    Table toPredict;
    return ReadTableFile(path, ColumnToCheck(path, model), table, toPredict, fault);
  }
  options.Separator = SeparatorOf(format);
  std::vector<std::string> names;
  if (!ReadCsvHeader(path, options.Separator, names, fault)) return false;
  for (const ModelColumn& column : model.Columns) {
    if (!column.Nominal) continue;
    for (const std::string& name : names) {
      if (name == column.Name) {
        options.NominalColumns.push_back(name);
        break;
      }
    }
  }
  return ReadCsvTable(path, options, table, fault);
}

}  // namespace tarvo
