// ReadObjectsToPredict: a table read as the model sees its columns.
#include "tarvo/model_input.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
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

// Appends the rows of `from`, a table of the same columns, to `to`; a nominal value keeps its
// name, whatever code it has in either.
void AppendRows(Table& to, const Table& from) {
  for (size_t c = 0; c < to.Columns.size() && c < from.Columns.size(); ++c) {
    Column& column = to.Columns[c];
    const Column& more = from.Columns[c];
    std::vector<double> codeIn;  // to's code of each of from's codes
    for (const std::string& name : more.ValueNames) {
      auto known = std::find(column.ValueNames.begin(), column.ValueNames.end(), name);
      if (known == column.ValueNames.end())
        known = column.ValueNames.insert(column.ValueNames.end(), name);
      codeIn.push_back(static_cast<double>(known - column.ValueNames.begin() + 1));
    }
    for (const double x : more.Values) {
      const bool coded = column.Nominal && !std::isnan(x);
      column.Values.push_back(coded ? codeIn[static_cast<size_t>(x) - 1] : x);
    }
  }
}

}  // namespace

bool ReadObjectsToPredict(const Model& model, const std::string& path, TableFormat format,
                          CsvOptions options, Table& table, std::string& fault) {
  if (format == TableFormat::Described) {
    // The objects of its prediction section follow its rows: they are what it asks to predict.
    Table toPredict;
    if (!ReadTableFile(path, ColumnToCheck(path, model), table, toPredict, fault)) return false;
    AppendRows(table, toPredict);
    return true;
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
