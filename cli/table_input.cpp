// The table options of tarvo-run.
#include "table_input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tarvo/table_columns.h"

const std::string& TableFileOf(const CommandLine& line) {
  return line.TableToRead.empty() ? line.Table : line.TableToRead;
}

int TableOpenError(const std::string& table) {
  std::FILE* file = std::fopen(table.c_str(), "rb");
  if (!file) return errno;
  std::fclose(file);
  // A folder opens for reading here, but holds no table.
  std::error_code ignored;
  return std::filesystem::is_directory(table, ignored) ? EISDIR : 0;
}

std::string TableOpenMessage(const std::string& table, int error) {
  std::error_code ignored;
  return "cannot open the table " + table + " in " +
         std::filesystem::current_path(ignored).string() + ": " + std::strerror(error);
}

std::string TrimmedReportLine(const std::string& line) {
  const size_t start = line.find_first_not_of(' ');
  return start == std::string::npos ? std::string() : line.substr(start);
}

std::string TableFaultMessage(const std::string& table, const std::string& fault) {
  return table + ": " + TrimmedReportLine(fault);
}

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
  if (!tarvo::ReadTableColumns(TableFileOf(line), TableFormatOf(line), columns)) return;
  parameters.FeatureToPredict = static_cast<int32_t>(columns.size());
  notes.push_back("note: predicting the last column of " + line.Table + ", " + columns.back().Name +
                  " (--target chooses another)");
}
