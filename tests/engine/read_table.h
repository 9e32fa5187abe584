// Reading a table from bytes with the engine's reader, outside a run: the table, the target
// description, the predictor mask and whatever the reader wrote to its report.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "input_table.h"
#include "report_file.h"
#include "test_files.h"
#include "tree_records.h"

namespace tarvo::testing {

struct ReadOutcome {
  bool trainingRead = false;
  bool predictionRead = false;  // false also when the training part already failed
  TInputTable table;
  TTargetDescription target;
  TFeatureMask mask;
  std::string report;  // output.txt as bytes
};

// Reads the training part and, when it succeeds, the prediction section.
inline ReadOutcome ReadTable(std::string_view bytes, int32_t featureToPredict = 1,
                             double targetWeight = 1.0) {
  TempFolder folder;
  WriteBytes(folder.File("table.txt"), bytes);
  ReadOutcome out;
  {
    ReportFile report;
    EXPECT_TRUE(report.Open(folder.File("output.txt")));
    TableReader reader(report, folder.File("table.txt"));
    out.trainingRead =
        reader.LoadTrainingPart(featureToPredict, targetWeight, out.table, out.target, out.mask);
    if (out.trainingRead) out.predictionRead = reader.LoadPredictionSection(out.table);
  }
  out.report = ReadBytes(folder.File("output.txt"));
  return out;
}

// A reader positioned after the one training row of a one-column table, so that ReadToken and
// ReadWord can be tried on any text that follows.
class ReaderAfterRows {
 public:
  explicit ReaderAfterRows(std::string_view rest) : reader_(report_, folder_.File("table.txt")) {
    WriteBytes(folder_.File("table.txt"), std::string("1 1 ? 1 a\r\n0\r\n").append(rest));
    EXPECT_TRUE(report_.Open(folder_.File("output.txt")));
    TInputTable table;
    TTargetDescription target;
    TFeatureMask mask;
    loaded_ = reader_.LoadTrainingPart(1, 1.0, table, target, mask);
    EXPECT_TRUE(loaded_);
  }

  bool loaded() const { return loaded_; }
  TableReader& reader() { return reader_; }
  std::string Report() {
    report_.Close();
    return ReadBytes(folder_.File("output.txt"));
  }

 private:
  TempFolder folder_;
  ReportFile report_;
  TableReader reader_;
  bool loaded_ = false;
};

}  // namespace tarvo::testing
