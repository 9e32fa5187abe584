// Feeds arbitrary bytes to the table reader as a table file: header, types, names, training rows
// and the prediction section. No tree is grown, so every input is quick. Besides the sanitizers'
// findings, it stops on a reading that breaks what the rest of the engine relies on: a fault
// without its message, a message after a successful read, or a table of the wrong shape.
//
// The first byte chooses the run parameters that matter to reading: bits 0 to 3 the predicted
// feature (0 is out of range on purpose), bit 4 a target weight of 0 instead of 1. The rest is the
// table. The seeds begin with a letter: 'A' to 'O' predict column 1 to 15 with weight 1, 'Q' to
// '_' the same with weight 0.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "file_bytes.h"
#include "fuzz_require.h"
#include "input_table.h"
#include "memory_file.h"
#include "report_file.h"
#include "tree_records.h"

namespace {

using namespace tarvo;

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

void CheckColumns(const TInputTable& table, const TDataTable& rows, int32_t count) {
  Require(static_cast<int32_t>(rows.size()) == table.FeatureCount + 1, "table has wrong width");
  for (int32_t f = 1; f <= table.FeatureCount; ++f) {
    Require(static_cast<int32_t>(rows[f].size()) == count + 1, "column has wrong length");
    for (int32_t o = 1; o <= count; ++o) {
      const double value = rows[f][o];
      if (f == table.FeatureCount) {
        Require(value == 1.0, "companion value is not 1");
      } else if (value == MissingCode) {
        continue;
      } else if (table.FeatureType[f] == ftNominal) {
        Require(value >= 1 && value <= table.DeclaredValues[f] && value == std::trunc(value),
                "nominal value is not a declared code");
        Require(!table.ValueTable[f][static_cast<size_t>(value) - 1].Text.empty(),
                "nominal code has no text");
      } else {
        Require(std::isfinite(value), "numeric value is not finite");
      }
    }
  }
}

void CheckTable(const TInputTable& table, const TTargetDescription& target) {
  Require(table.ObjectCount >= 1 && table.ObjectCount <= 500, "object count out of range");
  Require(table.FileColumns >= 1 && table.FileColumns <= 59, "column count out of range");
  Require(table.FeatureCount == table.FileColumns + 1, "companion column missing");
  Require(table.PredictCount >= 0 && table.PredictCount <= 500, "prediction count out of range");
  Require(target.NumberOfClasses >= 0 && target.NumberOfClasses <= 12, "too many classes");
  Require(!(target.ClassificationMode && target.RegressionMode), "both parts of the target");
  CheckColumns(table, table.Data, table.ObjectCount);
  if (table.PredictCount > 0) CheckColumns(table, table.PredictData, table.PredictCount);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int32_t featureToPredict = data[0] & 0x0F;
  const double targetWeight = (data[0] & 0x10) ? 0.0 : 1.0;
  static const MemoryFile tableFile("table.txt"), reportFile("output.txt");
  const std::string& tablePath = tableFile.path;
  const std::string& reportPath = reportFile.path;
  tableFile.Fill(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

  TInputTable table;
  TTargetDescription target;
  TFeatureMask mask;
  bool read = false;
  {
    ReportFile report;
    Require(report.Open(reportPath), "cannot create the report file");
    TableReader reader(report, tablePath);
    read = reader.LoadTrainingPart(featureToPredict, targetWeight, table, target, mask) &&
           reader.LoadPredictionSection(table);
  }
  std::string written;
  Require(ReadFileBytes(reportPath, written).Read, "cannot read the report file");

  if (read) {
    Require(written.empty(), "a successful read wrote to the report");
    CheckTable(table, target);
  } else {
    Require(StartsWith(written, " Error") || StartsWith(written, "Error in input file") ||
                StartsWith(written, "Prediction: "),
            "a fault without its message");
  }
  return 0;
}
