// Tuning: the grid's text form, the ranking of rows, the standard error over folds, and searches
// on a table whose best setting is known, stopped by a budget or by the caller.
#include "tarvo/tuning.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "test_files.h"

namespace tarvo {
namespace {

using testing::EngineRunTest;

// Class a at x = 1..10, class b at x = 101..110: one split on x classifies every held-out object
// of every fold, unless the homogeneity is so large that the root counts as homogeneous.
std::string StepTable() {
  std::string table = "20 2 ?\r\n1 0(2)\r\nx cls\r\n";
  for (int i = 1; i <= 10; ++i) table += std::to_string(i) + " a\r\n";
  for (int i = 101; i <= 110; ++i) table += std::to_string(i) + " b\r\n";
  return table;
}

// Three seeded numeric columns and a class that follows the first two but for one object in five:
// growth settings change its trees and errors.
std::string NoisyTable() {
  std::string table = "120 4 ?\r\n1 1 1 0(2)\r\na b c cls\r\n";
  uint32_t s = 7;
  for (int o = 1; o <= 120; ++o) {
    uint32_t values[3];
    for (uint32_t& value : values) {
      s = s * 1103515245u + 12345u;
      value = (s >> 16) % 97;
      table += std::to_string(value) + " ";
    }
    const bool flipped = (s >> 8) % 5 == 0;
    table += ((values[0] < 40 || values[1] > 70) != flipped) ? "y\r\n" : "n\r\n";
  }
  return table;
}

RunParameters Predicting(int32_t feature) {
  RunParameters p;
  p.FeatureToPredict = feature;
  return p;
}

TuningGrid Grid(const char* text) {
  TuningGrid grid;
  std::string message;
  EXPECT_TRUE(ParseTuningGrid(text, grid, message)) << message;
  return grid;
}

TuningRow Row(double rc, double h, TuningOutcome outcome, double error = 0.0,
              PruneRule rule = PruneRule::None) {
  TuningRow row;
  row.Prune = rule;
  row.RecursiveComplexity = rc;
  row.Homogeneity = h;
  row.Outcome = outcome;
  row.CrossValidationError = error;
  return row;
}

class TuningRunTest : public EngineRunTest {
 protected:
  void SetUp() override {
    EngineRunTest::SetUp();
    WriteProgPar();
    WriteFile("table.txt", StepTable());
    options_.SearchThreads = 1;
  }
  TuningResult Tune(const RunParameters& p = Predicting(2)) {
    return TuneParameters(p, "table.txt", options_);
  }
  TuningOptions options_;
};

TEST(TuningGridText, ReadsBothListsInAnyCaseAndRefusesOtherText) {
  TuningGrid grid = Grid("rc=1,2.5  H=0.01;");
  EXPECT_EQ(grid.RecursiveComplexity, (std::vector<double>{1.0, 2.5}));
  EXPECT_EQ(grid.Homogeneity, (std::vector<double>{0.01}));
  grid = Grid("Homogeneity=0.2");
  EXPECT_TRUE(grid.RecursiveComplexity.empty());
  EXPECT_EQ(grid.Homogeneity, (std::vector<double>{0.2}));
  EXPECT_TRUE(grid.Prune.empty());
  grid = Grid("Prune=min,1SE;prune=none");  // a list named again replaces the first
  EXPECT_EQ(grid.Prune, (std::vector<PruneRule>{PruneRule::None}));
  EXPECT_EQ(Grid("rc=2 prune=1se,min").Prune,
            (std::vector<PruneRule>{PruneRule::OneSe, PruneRule::Min}));
  std::string message;
  for (const char* bad :
       {"x=1", "rc", "rc=1,,2", "h=a", "rc=", "rc=1 h=0.1,", "prune=", "prune=2se", "prune=1"}) {
    EXPECT_FALSE(ParseTuningGrid(bad, grid, message)) << bad;
    EXPECT_NE(message.find("grid part"), std::string::npos) << bad;
  }
}

TEST(TuningRanking, TiesAsPrintedGoToLowerLookAheadThenHigherHomogeneity) {
  auto scored = [](double rc, double h, double error) {
    return Row(rc, h, TuningOutcome::Scored, error);
  };
  // 0.2501 and 0.2496 both print as 0.250.
  std::vector<TuningRow> rows = {scored(2, 0.2, 0.2501), scored(1, 0.01, 0.2496),
                                 scored(1, 0.1, 0.2500), scored(3, 0.2, 0.3)};
  EXPECT_EQ(BestTuningRow(rows), 2);
  rows.push_back(scored(3, 0.01, 0.2494));  // prints 0.249: strictly better
  EXPECT_EQ(BestTuningRow(rows), 4);
  rows = {Row(1, 0.1, TuningOutcome::Refused), Row(2, 0.1, TuningOutcome::NotRun)};
  EXPECT_EQ(BestTuningRow(rows), -1);
}

TEST(TuningRanking, TiesGoToNoPruningThen1seBeforeTheLowerLookAheadIsLost) {
  const auto scored = [](double rc, double h, PruneRule rule, double error) {
    return Row(rc, h, TuningOutcome::Scored, error, rule);
  };
  std::vector<TuningRow> rows = {scored(1, 0, PruneRule::Min, 0.1),
                                 scored(1, 0, PruneRule::OneSe, 0.1),
                                 scored(1, 0.01, PruneRule::None, 0.1)};
  EXPECT_EQ(BestTuningRow(rows), 2);
  rows.pop_back();
  EXPECT_EQ(BestTuningRow(rows), 1);
  // The look-ahead decides before pruning does.
  rows = {scored(2, 0.2, PruneRule::None, 0.1), scored(1, 0, PruneRule::Min, 0.1)};
  EXPECT_EQ(BestTuningRow(rows), 1);
}

TEST(TuningStandardError, WeighsFoldsByObjectsTested) {
  EXPECT_DOUBLE_EQ(FoldStandardError({{0.1, 5}, {0.3, 5}}), 0.1);
  // Weights 3 and 1: mean 0.25, weighted variance 0.1875 x 2 = 0.375, over 2 folds.
  EXPECT_DOUBLE_EQ(FoldStandardError({{0.0, 3}, {1.0, 1}}), std::sqrt(0.375 / 2));
  EXPECT_LT(FoldStandardError({{0.2, 7}}), 0.0);
}

TEST_F(EngineRunTest, TunedParametersAreWrittenInTheParameterFileFormat) {
  const TuningRow row = Row(2.5, 0.1, TuningOutcome::Scored);
  ASSERT_TRUE(WriteTunedParameterFile(folder_.File("param.par"), RunParameters{}, row));
  EXPECT_EQ(testing::ReadBytes(folder_.File("param.par")), "1.000 2.500 0.100  100   1   1  10");
  // A pruned row grew with the growth of pruning: only its look-ahead is written.
  RunParameters base;
  base.TargetWeight = 2;
  base.Homogeneity = 0.2;
  const TuningRow pruned = Row(3, 0, TuningOutcome::Scored, 0.0, PruneRule::OneSe);
  ASSERT_TRUE(WriteTunedParameterFile(folder_.File("param.par"), base, pruned));
  EXPECT_EQ(testing::ReadBytes(folder_.File("param.par")), "2.000 3.000 0.200  100   1   1  10");
}

TEST_F(TuningRunTest, BestSettingOfTheStepTableIsTheSimplestThatSplits) {
  options_.Grid = Grid("rc=1,2 h=0.01,0.05,0.6 prune=none");
  std::vector<TuningRow> seen;
  options_.RowDone = [&](const TuningRow& row) { seen.push_back(row); };
  const TuningResult result = Tune();
  ASSERT_EQ(result.End, TuningEnd::Completed) << result.Message;
  ASSERT_EQ(result.Rows.size(), 6u);
  EXPECT_EQ(seen.size(), 6u);
  for (const TuningRow& row : result.Rows) {
    ASSERT_EQ(row.Outcome, TuningOutcome::Scored);
    const bool splits = row.Homogeneity < 0.5;
    EXPECT_EQ(row.Leaves, splits ? 2 : 1) << row.RecursiveComplexity << " " << row.Homogeneity;
    EXPECT_EQ(row.CrossValidationError == 0.0, splits);
    EXPECT_GE(row.StandardError, 0.0);
  }
  ASSERT_EQ(result.Best, 1);
  EXPECT_EQ(result.Rows[1].RecursiveComplexity, 1.0);
  EXPECT_EQ(result.Rows[1].Homogeneity, 0.05);
  EXPECT_FALSE(std::filesystem::exists(folder_.File("output.txt")));
}

TEST_F(TuningRunTest, NumericTargetTakesTheChiSquareLevelsAndRefusesOthers) {
  WriteFile("table.txt", "6 2 ?\r\n1 1\r\nx y\r\n1 1\r\n2 1.5\r\n3 1\r\n7 4\r\n8 4.5\r\n9 4\r\n");
  options_.Grid = Grid("rc=1 prune=none");
  TuningResult result = Tune();
  EXPECT_TRUE(result.NumericTarget);
  ASSERT_EQ(result.Rows.size(), 4u);
  EXPECT_EQ(result.Rows[0].Homogeneity, 0.001);
  for (const TuningRow& row : result.Rows) EXPECT_EQ(row.Outcome, TuningOutcome::Scored);
  options_.Grid = Grid("rc=1 h=0.2,0.05 prune=none");
  result = Tune();
  ASSERT_EQ(result.Rows.size(), 2u);
  EXPECT_EQ(result.Rows[0].Outcome, TuningOutcome::Refused);
  EXPECT_NE(result.Rows[0].Note.find("homogeneity must be"), std::string::npos);
  EXPECT_EQ(result.Best, 1);
}

TEST_F(TuningRunTest, TableFaultsAndMissingFoldsStopBeforeAnyRun) {
  WriteFile("bad.txt", "0 2 ?\r\n");
  TuningResult result = TuneParameters(Predicting(2), "bad.txt", options_);
  EXPECT_EQ(result.End, TuningEnd::NotStarted);
  EXPECT_FALSE(result.Message.empty());
  EXPECT_TRUE(result.Rows.empty());
  RunParameters p = Predicting(2);
  p.FoldsCrossValidate = 1;
  result = Tune(p);
  EXPECT_EQ(result.End, TuningEnd::NotStarted);
  EXPECT_NE(result.Message.find("folds"), std::string::npos);
}

// The step table as CSV with its columns swapped: the same rows when the target is the CSV's
// column, and the CSV's own fault when it is out of range.
TEST_F(TuningRunTest, CsvTableTunesItsOwnColumnAsTheTableFileDoes) {
  std::string csv = "cls,x\n";
  for (int i = 1; i <= 10; ++i) csv += "a," + std::to_string(i) + "\n";
  for (int i = 101; i <= 110; ++i) csv += "b," + std::to_string(i) + "\n";
  WriteFile("table.csv", csv);
  options_.Grid = Grid("rc=1 h=0.05,0.6");
  const TuningResult fromFile = Tune();
  options_.InputFormat = TableFormat::Csv;
  const TuningResult fromCsv = TuneParameters(Predicting(1), "table.csv", options_);
  ASSERT_EQ(fromCsv.End, TuningEnd::Completed) << fromCsv.Message;
  EXPECT_FALSE(fromCsv.NumericTarget);
  ASSERT_EQ(fromCsv.Rows.size(), fromFile.Rows.size());
  for (size_t r = 0; r < fromCsv.Rows.size(); ++r) {
    EXPECT_EQ(fromCsv.Rows[r].Outcome, TuningOutcome::Scored) << fromCsv.Rows[r].Note;
    EXPECT_EQ(fromCsv.Rows[r].CrossValidationError, fromFile.Rows[r].CrossValidationError);
    EXPECT_EQ(fromCsv.Rows[r].Leaves, fromFile.Rows[r].Leaves);
  }
  const TuningResult outside = TuneParameters(Predicting(3), "table.csv", options_);
  EXPECT_EQ(outside.End, TuningEnd::NotStarted);
  EXPECT_FALSE(outside.Message.empty());
}

// A table saved again once the first row is done (here with a table that cannot run) changes no
// row: the whole search reads the table as it was when it started, in either format.
TEST_F(TuningRunTest, TableSavedDuringTheSearchChangesNoRow) {
  std::string csv = "x,cls\n";
  for (int i = 1; i <= 20; ++i)
    csv += std::to_string(i <= 10 ? i : 90 + i) + (i <= 10 ? ",a\n" : ",b\n");
  WriteFile("table.csv", csv);
  options_.Grid = Grid("rc=1,2 h=0.05,0.6 prune=none,min");
  for (const char* table : {"table.txt", "table.csv"}) {
    options_.InputFormat = TableFormatOfName(table);
    options_.RowDone = nullptr;
    const TuningResult untouched = TuneParameters(Predicting(2), table, options_);
    const std::string bytes = testing::ReadBytes(folder_.File(table));
    options_.RowDone = [&](const TuningRow&) { WriteFile(table, "0 2 ?\r\n"); };
    const TuningResult saved = TuneParameters(Predicting(2), table, options_);
    WriteFile(table, bytes);
    ASSERT_EQ(saved.Rows.size(), untouched.Rows.size()) << table;
    for (size_t r = 0; r < saved.Rows.size(); ++r) {
      EXPECT_EQ(saved.Rows[r].Outcome, TuningOutcome::Scored) << table << " " << saved.Rows[r].Note;
      EXPECT_EQ(saved.Rows[r].CrossValidationError, untouched.Rows[r].CrossValidationError);
      EXPECT_EQ(saved.Rows[r].Leaves, untouched.Rows[r].Leaves);
    }
    EXPECT_EQ(saved.Best, untouched.Best);
  }
}

TEST_F(TuningRunTest, BudgetSpentAfterTheFirstRowLeavesTheOthersNotRun) {
  std::atomic<double> now{0.0};
  options_.Clock = [&] { return now.load(); };
  options_.BudgetSeconds = 10;
  options_.Grid = Grid("rc=1,2 h=0.05 prune=none");
  options_.RowDone = [&](const TuningRow&) { now = 1000.0; };
  const TuningResult result = Tune();
  EXPECT_EQ(result.End, TuningEnd::OverBudget);
  ASSERT_EQ(result.Rows.size(), 2u);
  EXPECT_EQ(result.Rows[0].Outcome, TuningOutcome::Scored);
  EXPECT_EQ(result.Rows[1].Outcome, TuningOutcome::NotRun);
  EXPECT_EQ(result.Best, 0);
}

TEST_F(TuningRunTest, CancelDuringTheSecondSettingKeepsTheFirstRow) {
  std::atomic<bool> cancel{false};
  options_.CancelRequested = &cancel;
  options_.Grid = Grid("rc=1,2,3 h=0.05 prune=none");
  int32_t lastSetting = 0;
  options_.Progress = [&](const TuningProgress& where) {
    lastSetting = where.Setting;
    if (where.Setting == 2 && where.TreesStarted >= 1) cancel = true;
  };
  const TuningResult result = Tune();
  EXPECT_EQ(result.End, TuningEnd::Cancelled);
  EXPECT_EQ(lastSetting, 2);
  ASSERT_EQ(result.Rows.size(), 1u);
  EXPECT_EQ(result.Rows[0].Outcome, TuningOutcome::Scored);
  EXPECT_EQ(result.Best, 0);
}

// The budget spent after the first row lists the whole grid as rows not run: its settings and
// their order, without the runs.
TEST_F(TuningRunTest, DefaultGridAddsA1seAndAMinRowPerLookAheadAfterItsUnprunedRows) {
  std::atomic<double> now{0.0};
  options_.Clock = [&] { return now.load(); };
  options_.BudgetSeconds = 10;
  options_.RowDone = [&](const TuningRow&) { now = 1000.0; };
  RunParameters base = Predicting(2);
  base.Homogeneity = 0.3;
  TuningResult result = Tune(base);
  ASSERT_EQ(result.Rows.size(), 24u);
  for (size_t r = 0; r < result.Rows.size(); ++r) {
    const TuningRow& row = result.Rows[r];
    const PruneRule rule = r % 6 == 4   ? PruneRule::OneSe
                           : r % 6 == 5 ? PruneRule::Min
                                        : PruneRule::None;
    const bool pruned = rule != PruneRule::None;
    EXPECT_EQ(row.Prune, rule) << r;
    EXPECT_EQ(row.RecursiveComplexity, DefaultRecursiveComplexities()[r / 6]) << r;
    if (pruned) {
      EXPECT_EQ(row.Homogeneity, kPruneHomogeneity) << r;
    }
  }
  // A homogeneity the caller set, and a numeric target's chi-square level, stay in pruned rows.
  options_.HomogeneitySet = true;
  options_.Grid = Grid("rc=1 h=0.05 prune=min");
  result = Tune(base);
  ASSERT_EQ(result.Rows.size(), 1u);
  EXPECT_EQ(result.Rows[0].Prune, PruneRule::Min);
  EXPECT_EQ(result.Rows[0].Homogeneity, 0.3);
}

// Two objects and ten folds: the folds drawn test nothing here, and an error of 0 from them must
// not rank first.
TEST_F(TuningRunTest, RowWhoseFoldsTestedNothingIsNotScored) {
  WriteFile("table.txt", "2 2 ?\r\n1 0(2)\r\nx cls\r\n1 a\r\n2 b\r\n");
  options_.Grid = Grid("rc=1 h=0.05 prune=none,min");
  const TuningResult result = Tune();
  ASSERT_EQ(result.Rows.size(), 2u);
  for (const TuningRow& row : result.Rows) {
    EXPECT_EQ(row.Outcome, TuningOutcome::Refused);
    EXPECT_NE(row.Note.find("no fold tested"), std::string::npos);
  }
  EXPECT_EQ(result.Best, -1);
}

// A pruned row scores what a pruned run of the same setting reports: the rule, the target weight
// and homogeneity of pruning's growth, or the caller's target weight when it set one.
TEST_F(TuningRunTest, PrunedRowScoresThePrunedRunOfItsSetting) {
  WriteFile("table.txt", NoisyTable());
  const auto runOf = [&](double targetWeight, PruneRule rule) {
    RunParameters p = Predicting(4);
    p.TargetWeight = targetWeight;
    p.Homogeneity = kPruneHomogeneity;
    p.VariantsNumber = 1;
    RunOptions run;
    run.SearchThreads = 1;
    run.Prune = rule;
    run.ReportFileName = "run.txt";
    return RunEngine(p, "table.txt", run).FirstTree;
  };
  options_.Grid = Grid("rc=1 h=0.05 prune=none,1se,min");
  RunParameters base = Predicting(4);
  TuningResult result = Tune(base);
  ASSERT_EQ(result.Rows.size(), 3u);
  for (size_t r = 1; r < 3; ++r) {
    const TuningRow& row = result.Rows[r];
    ASSERT_EQ(row.Outcome, TuningOutcome::Scored) << row.Note;
    const FirstTreeFigures expected = runOf(PruneTargetWeight(1.0), row.Prune);
    EXPECT_EQ(row.CrossValidationError, expected.CrossValidationError) << r;
    EXPECT_EQ(row.Leaves, expected.Leaves) << r;
  }
  // The growth of pruning matters here: the checks above tell it apart.
  EXPECT_NE(result.Rows[1].CrossValidationError,
            runOf(kPruneTargetWeight, PruneRule::OneSe).CrossValidationError);
  options_.TargetWeightSet = true;
  options_.Grid = Grid("rc=1 prune=1se");
  base.TargetWeight = 1;
  result = Tune(base);
  ASSERT_EQ(result.Rows.size(), 1u);
  EXPECT_EQ(result.Rows[0].CrossValidationError, runOf(1, PruneRule::OneSe).CrossValidationError);
}

}  // namespace
}  // namespace tarvo
