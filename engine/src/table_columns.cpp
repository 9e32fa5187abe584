// Reading a table's column names and kinds with the run's own reader, without a run.
#include "tarvo/table_columns.h"

#include "input_table.h"
#include "report_file.h"

namespace tarvo {

bool ReadTableColumns(const std::string& path, std::vector<TableColumn>& columns) {
  columns.clear();
  ReportFile nowhere;  // never opened: a fault message is dropped
  TableReader reader(nowhere, path);
  TInputTable table;
  if (!reader.LoadHeader(table)) return false;
  for (int32_t f = 1; f <= table.FileColumns; ++f) {
    columns.push_back(TableColumn{table.FeatureName[f], table.FeatureType[f] == ftNominal});
  }
  return true;
}

bool ReadTableColumns(const std::string& path, TableFormat format,
                      std::vector<TableColumn>& columns) {
  if (format == TableFormat::Described) return ReadTableColumns(path, columns);
  columns.clear();
  std::vector<std::string> names;
  std::string fault;
  if (!ReadCsvHeader(path, SeparatorOf(format), names, fault)) return false;
  for (std::string& name : names) columns.push_back(TableColumn{std::move(name), false});
  return true;
}

int32_t FindTableColumn(const std::vector<TableColumn>& columns, std::string_view name) {
  int32_t found = 0;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].Name != name) continue;
    if (found != 0) return -1;
    found = static_cast<int32_t>(i + 1);
  }
  return found;
}

}  // namespace tarvo
