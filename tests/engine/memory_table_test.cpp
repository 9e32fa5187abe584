// Runs on a table in memory: the same report as the table file it was built from, and one
// message for a table the run cannot take.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tarvo/engine.h"
#include "tarvo/table.h"
#include "test_files.h"

namespace tarvo {
namespace {

using testing::EngineRunTest;
using testing::ReadBytes;

// Classification on a numeric and a nominal predictor, with missing values and a prediction
// section whose class column is partly unknown.
const char kTableFile[] =
    "8 3 ?\r\n1 0(3) 0(2)\r\nx colour cls\r\n"
    "1.5 red a\r\n2 red a\r\n? blue a\r\n3.25 blue b\r\n4 green b\r\n5 ? b\r\n6 green b\r\n"
    "0.5 red a\r\n"
    "Predict 2\r\n1 blue ?\r\n5.5 green b\r\n";

Table TableOfTheFile() {
  Table table;
  table.AddNumericColumn("x", {1.5, 2, kMissingValue, 3.25, 4, 5, 6, 0.5});
  table.AddNominalColumn("colour", {"red", "red", "blue", "blue", "green", "?", "green", "red"},
                         {"?"});
  table.AddNominalColumn("cls", {"a", "a", "a", "b", "b", "b", "b", "a"});
  return table;
}

class MemoryTable : public EngineRunTest {};

TEST_F(MemoryTable, GrowsTheReportOfTheTableFileItHolds) {
  WriteProgPar();
  RunParameters p;
  p.FeatureToPredict = 3;
  p.FoldsCrossValidate = 2;
  p.VariantsNumber = 2;
  const std::string expected = Run(kTableFile, p);
  ASSERT_NE(expected.find("Object   2-> b"), std::string::npos) << expected;

  Table toPredict;
  toPredict.AddNumericColumn("x", {1, 5.5});
  const Table table = TableOfTheFile();
  toPredict.Columns.push_back(table.Columns[1]);
  toPredict.Columns.back().Values = {2, 3};
  toPredict.Columns.push_back(table.Columns[2]);
  toPredict.Columns.back().Values = {kMissingValue, 2};
  RunOptions options;
  options.TableName = "table.txt";
  options.ReportFileName = "memory.txt";
  const RunResult result = RunEngine(p, table, options, &toPredict);
  EXPECT_FALSE(result.TableFault) << result.FaultMessage;
  EXPECT_EQ(ReadBytes("memory.txt"), expected);
}

TEST(TableFault, NamesWhatTheRunCannotTake) {
  const Table good = TableOfTheFile();
  EXPECT_EQ(FindTableFault(good, 3), "");
  EXPECT_EQ(FindTableFault(good, 4), " Error: wrong number of predicted feature");
  EXPECT_EQ(FindTableFault(Table{}, 1), "Error in input table: the table has no columns");

  Table ragged = good;
  ragged.Columns[1].Values.pop_back();
  EXPECT_EQ(FindTableFault(ragged, 3),
            "Error in input table: column colour has 7 values, column x 8");
  Table infinite = good;
  infinite.Columns[0].Values[2] = INFINITY;
  EXPECT_EQ(FindTableFault(infinite, 3),
            "Error in input table: column x, object 3: an infinite value");
  Table badCode = good;
  badCode.Columns[2].Values[0] = 3;
  EXPECT_EQ(FindTableFault(badCode, 3),
            "Error in input table: column cls, object 1: code 3 is not one of its 2 values");

  Table classes;
  std::vector<std::string> names;
  for (int k = 1; k <= kMaxTableClasses + 1; ++k) names.push_back("c" + std::to_string(k));
  classes.AddNominalColumn("y", names);
  EXPECT_EQ(FindTableFault(classes, 1),
            "Error in input table: the predicted column y has 13 values, at most 12 classes");
  classes.AddNumericColumn("x", std::vector<double>(names.size(), 1.0));
  EXPECT_EQ(FindTableFault(classes, 2), "");  // 13 values are fine in a predictor

  Table wide;
  for (int c = 0; c <= kMaxTableColumns; ++c) wide.AddNumericColumn("c", {1.0});
  EXPECT_EQ(FindTableFault(wide, 1), "Error in input table: 256 columns, at most 255");

  Table otherColumns = good;
  otherColumns.Columns[1].ValueNames.push_back("white");
  EXPECT_EQ(FindTableFault(good, 3, &otherColumns),
            "Error in input table: the objects to predict do not have the columns of the table");
}

TEST_F(MemoryTable, WideTableSplitsOnItsLastPredictors) {
  // 254 noise columns and the one that tells the class, beyond any table file's 59.
  Table table;
  const int objects = 40;
  for (int c = 1; c < kMaxTableColumns - 1; ++c) {
    std::vector<double> noise;
    for (int o = 0; o < objects; ++o) noise.push_back((o * 7 + c * 13) % 5);
    table.AddNumericColumn("n" + std::to_string(c), noise);
  }
  std::vector<double> signal;
  std::vector<std::string> classes;
  for (int o = 0; o < objects; ++o) {
    signal.push_back(o);
    classes.push_back(o < 20 ? "low" : "high");
  }
  table.AddNumericColumn("signal", signal);
  table.AddNominalColumn("cls", classes);
  ASSERT_EQ(table.Columns.size(), static_cast<size_t>(kMaxTableColumns));
  WriteProgPar();
  RunParameters p;
  p.FeatureToPredict = kMaxTableColumns;
  p.FoldsCrossValidate = 1;
  const RunResult result = RunEngine(p, table, RunOptions{});
  ASSERT_FALSE(result.TableFault) << result.FaultMessage;
  const std::string report = ReadBytes("output.txt");
  EXPECT_NE(report.find("Number of features= 255"), std::string::npos);
  EXPECT_NE(report.find(" signal <=   19.50,"), std::string::npos) << report.substr(0, 600);
  EXPECT_NE(report.find("frequency for the tree is   0.00"), std::string::npos);
}

// The report keeps 20 bytes of a name, less where that would split a UTF-8 character; the model
// keeps the classes' whole names, which may differ only past those bytes.
TEST_F(MemoryTable, ReportCutsNamesWholeAndTheModelKeepsThem) {
  // "Ä" spans bytes 20 and 21; a byte that is not UTF-8 after them changes nothing.
  const std::string utf8 = std::string(19, 'u') + "\xC3\x84z\xFF";
  const std::string latin1 = std::string(19, 'l') + "\xC4\xC4";
  const std::string longA = std::string(20, 'c') + "_A", longB = std::string(20, 'c') + "_B";
  std::vector<double> x, w;
  std::vector<std::string> classes;
  for (int o = 0; o < 20; ++o) {
    x.push_back(o);
    w.push_back(o % 3);
    classes.push_back(o < 10 ? longA : longB);
  }
  Table table;
  table.AddNumericColumn(utf8, x);
  table.AddNumericColumn(latin1, w);
  table.AddNominalColumn("cls", classes);
  WriteProgPar();
  RunParameters p;
  p.FeatureToPredict = 3;
  p.FoldsCrossValidate = 1;
  const RunResult result = RunEngine(p, table, RunOptions{});
  ASSERT_FALSE(result.TableFault) << result.FaultMessage;
  const std::string report = ReadBytes("output.txt");
  EXPECT_NE(report.find(" " + std::string(19, 'u') + " <="), std::string::npos) << report;
  EXPECT_EQ(report.find("\xC3"), std::string::npos);
  EXPECT_NE(report.find("Number of features=   3"), std::string::npos);
  ASSERT_TRUE(result.GrownModel);
  EXPECT_EQ(result.GrownModel->ClassNames, (std::vector<std::string>{longA, longB}));
  // Bytes that are not UTF-8 are cut where the 20th falls.
  table.Columns[1].Name = std::string(19, 'l') + "\xC4" + std::string(19, 'l');
  std::swap(table.Columns[0].Values, table.Columns[1].Values);
  ASSERT_FALSE(RunEngine(p, table, RunOptions{}).TableFault);
  EXPECT_NE(ReadBytes("output.txt").find(" " + std::string(19, 'l') + "\xC4 <="),
            std::string::npos);
}

TEST_F(MemoryTable, FaultIsTheReportsOneLine) {
  Table table = TableOfTheFile();
  table.Columns[0].Values[0] = -INFINITY;
  RunParameters p;
  p.FeatureToPredict = 3;
  const RunResult result = RunEngine(p, table, RunOptions{});
  EXPECT_TRUE(result.TableFault);
  EXPECT_EQ(ReadBytes("output.txt"), result.FaultMessage + "\r\n");
}

}  // namespace
}  // namespace tarvo
