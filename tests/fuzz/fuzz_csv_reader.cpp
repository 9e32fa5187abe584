// Feeds arbitrary bytes to the CSV and TSV reader, and runs what reads: one tree at look-ahead 1,
// without cross-validation, through the engine's entry for files as tarvo-run uses it. Besides
// the sanitizers' findings, it stops on a reading that breaks what the rest of the engine relies
// on: a fault without a message that names its place, a table of the wrong shape, a value that
// is neither a finite number, a known code nor missing, or a run whose report does not begin with
// its fault or its tree.
//
// The first byte chooses the options: bit 0 tab-separated instead of commas, bits 1 to 3 the
// predicted column (0: the last), bits 4 and 5 a column forced nominal (0: none), bit 6 the run.
// The seeds begin with a letter: '@' reads commas and runs on the last column, 'A' the same with
// tabs, 'B' to 'O' predict another column, 'P' to '_' also force a column nominal.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_require.h"
#include "memory_file.h"
#include "run_report_check.h"
#include "tarvo/csv_table.h"
#include "tarvo/engine.h"
#include "tarvo/table.h"

namespace {

using namespace tarvo;

bool IsBlankName(const std::string& name) {
  return name.find_first_not_of(" \t") == std::string::npos;
}

void CheckTable(const Table& table) {
  Require(!table.Columns.empty() && table.Columns.size() <= static_cast<size_t>(kMaxTableColumns),
          "column count out of range");
  const size_t objects = table.Columns.front().Values.size();
  Require(objects >= 1, "a table without objects");
  for (const Column& column : table.Columns) {
    Require(!IsBlankName(column.Name), "a column without a name");
    Require(column.Values.size() == objects, "columns of different lengths");
    Require(column.Nominal || column.ValueNames.empty(), "a numeric column with value names");
    Require(column.ValueNames.size() <= static_cast<size_t>(kMaxNominalValues),
            "too many values in a nominal column");
    for (const double value : column.Values) {
      if (std::isnan(value)) continue;
      if (column.Nominal) {
        Require(value >= 1 && value <= static_cast<double>(column.ValueNames.size()) &&
                    value == std::trunc(value),
                "a nominal value that is not a code");
      } else {
        Require(std::isfinite(value), "a numeric value that is not finite");
      }
    }
  }
}

void CheckFault(const std::string& fault) {
  Require(fault.rfind("Error in input file fuzz.csv, ", 0) == 0, "a fault without its message");
  Require(
      fault.find(", line ") != std::string::npos || fault.find(", column ") != std::string::npos,
      "a fault that names no place");
  Require(fault.find_first_of("\r\n") == std::string::npos, "a fault of more than one line");
}

void RunOn(const MemoryFile& tableFile, CsvOptions csv, bool tabs, int32_t target,
           int32_t columns) {
  static const MemoryFile reportFile("output.txt");
  reportFile.Fill("");
  RunParameters parameters;
  parameters.FeatureToPredict = target == 0 ? columns : target;
  parameters.FoldsCrossValidate = 1;
  parameters.MonteCarlo = 20;
  RunOptions options;
  options.SearchThreads = 1;
  options.ReportFileName = reportFile.path;
  options.ChiSquareFileName = TARVO_PROG_PAR;
  options.InputFormat = tabs ? TableFormat::Tsv : TableFormat::Csv;
  options.Csv = std::move(csv);
  RunAndCheckReport(parameters, tableFile.path, options);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool tabs = data[0] & 0x01;
  const int32_t target = (data[0] >> 1) & 0x07;
  const int32_t nominal = (data[0] >> 4) & 0x03;
  const bool run = data[0] & 0x40;
  static const MemoryFile tableFile("fuzz.csv");
  tableFile.Fill(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

  CsvOptions csv;
  csv.Separator = tabs ? '\t' : ',';
  if (nominal != 0) csv.NominalColumns.push_back(std::to_string(nominal));
  // The fault names the file as the user gave it; here that is the memory file's path.
  Table table;
  std::string fault;
  if (!ReadCsvTable(tableFile.path, csv, table, fault)) {
    const size_t at = fault.find(tableFile.path);
    Require(at != std::string::npos, "a fault that does not name the file");
    CheckFault(fault.replace(at, tableFile.path.size(), "fuzz.csv"));
    return 0;
  }
  CheckTable(table);
  if (run) RunOn(tableFile, csv, tabs, target, static_cast<int32_t>(table.Columns.size()));
  return 0;
}
