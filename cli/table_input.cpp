// The table options of tarvo-run.
#include "table_input.h"

#include <cstdio>

#include "tarvo/table_columns.h"

tarvo::TableFormat TableFormatOf(const CommandLine& line) {
  if (!line.TableFormat) return tarvo::TableFormatOfName(line.Table);
  if (*line.TableFormat == "csv") return tarvo::TableFormat::Csv;
  if (*line.TableFormat == "tsv") return tarvo::TableFormat::Tsv;
  return tarvo::TableFormat::Described;
}

std::vector<std::string> NominalColumnsOf(const CommandLine& line) {
  std::vector<std::string> columns;
  if (!line.Nominal) return columns;
  size_t start = 0;
  for (;;) {
    const size_t comma = line.Nominal->find(',', start);
    columns.push_back(line.Nominal->substr(start, comma - start));
    if (comma == std::string::npos) return columns;
    start = comma + 1;
  }
}

void PredictLastColumnOfCsv(const CommandLine& line, tarvo::RunParameters& parameters,
                            std::vector<std::string>& notes) {
  if (line.Target || TableFormatOf(line) == tarvo::TableFormat::Described) return;
  std::vector<tarvo::TableColumn> columns;
  if (!tarvo::ReadTableColumns(line.Table, TableFormatOf(line), columns)) return;
  parameters.FeatureToPredict = static_cast<int32_t>(columns.size());
  notes.push_back("note: predicting the last column of " + line.Table + ", " + columns.back().Name +
                  " (--target chooses another)");
}
