// What a run does with a table that reads without fault: parameter refusals (one line, normal
// end), errors from prog.par, and the same report for a table whatever its line ends.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tarvo/engine.h"
#include "test_files.h"

namespace tarvo {
namespace {

using testing::EngineRunTest;
using testing::LineEnds;
using testing::WithLineEnds;

const char kClassTable[] = "4 2 ?\r\n1 0(2)\r\nx cls\r\n1 a\r\n2 a\r\n3 b\r\n4 b\r\n";
const char kNumericTable[] = "4 2 ?\r\n1 1\r\nx y\r\n1 1\r\n2 1.5\r\n3 4\r\n4 4.5\r\n";
const char kHeaderStart[] =
    "************************************************************\r\n"
    "input file: table.txt\r\n";

RunParameters Predicting(int32_t feature) {
  RunParameters p;
  p.FeatureToPredict = feature;
  return p;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// The refusals come before prog.par is read: none is written for these runs.
TEST_F(EngineRunTest, ZeroTargetWeightIsRefused) {
  RunParameters p = Predicting(2);
  p.TargetWeight = 0.0;
  EXPECT_EQ(Run(kClassTable, p), " Error: target weight must not be 0\r\n");
}

TEST_F(EngineRunTest, MoreThan255VariantsOrFoldsAreRefused) {
  RunParameters p = Predicting(2);
  p.VariantsNumber = 256;
  EXPECT_EQ(Run(kClassTable, p), " Error: too much variants (at most 255)\r\n");
  p = Predicting(2);
  p.FoldsCrossValidate = 256;
  EXPECT_EQ(Run(kClassTable, p), " Error: too much folds (at most 255)\r\n");
}

TEST_F(EngineRunTest, RegressionNeedsAChiSquareLevelOfTheFile) {
  RunParameters p = Predicting(2);
  p.Homogeneity = 0.02;
  EXPECT_EQ(Run(kNumericTable, p),
            " Error: homogeneity must be 0.001, 0.005, 0.01 or 0.05 for a numeric feature\r\n");
}

TEST_F(EngineRunTest, ParametersWhoseTruncLeaves32BitsAreRefused) {
  RunParameters p = Predicting(2);
  p.RecursiveComplexity = 3e9;
  EXPECT_EQ(Run(kClassTable, p), " Error: recursive complexity out of range\r\n");
  p = Predicting(2);
  p.Homogeneity = 1e7;  // Trunc(Homogeneity x 1000) is 1e10
  EXPECT_EQ(Run(kClassTable, p), " Error: homogeneity out of range\r\n");
  p = Predicting(2);
  p.Homogeneity = 1e6;
  p.MonteCarlo = 1000000;
  EXPECT_EQ(Run(kClassTable, p), " Error: Monte-Carlo trials times homogeneity out of range\r\n");
  p = Predicting(2);
  p.TargetWeight = HUGE_VAL;
  EXPECT_EQ(Run(kClassTable, p), " Error: target weight out of range\r\n");
}

TEST_F(EngineRunTest, RunWithoutAnActiveObjectIsRefused) {
  const std::string refusal =
      " Error: no object has known values in the predicted and the last column\r\n";
  EXPECT_EQ(Run("2 2 ?\r\n1 0(2)\r\nx cls\r\n1 ?\r\n2 ?\r\n", Predicting(2)), refusal);
  // A regression run also leaves out objects whose last column is missing.
  EXPECT_EQ(Run("2 2 ?\r\n1 0(2)\r\ny cls\r\n1 ?\r\n2 ?\r\n", Predicting(1)), refusal);
}

TEST_F(EngineRunTest, InputFaultsComeBeforeParameterRefusals) {
  RunParameters p = Predicting(2);
  p.TargetWeight = 0.0;
  EXPECT_EQ(Run(std::string(kClassTable) + "Predict x\r\n", p),
            "Error in input file: wrong number of predicting data\r\n");
}

TEST_F(EngineRunTest, MissingProgParIsAnEngineError) {
  try {
    Run(kClassTable, Predicting(2));
    FAIL() << "the run did not stop";
  } catch (const EngineError& error) {
    EXPECT_TRUE(StartsWith(error.what(), "File not found")) << error.what();
  }
}

TEST_F(EngineRunTest, BadNumberInProgParIsAnEngineError) {
  // Every line holds the bad token, whichever line the level starts from.
  WriteFile("prog.par", "10.828 x\r\n7.879 x\r\n6.635 x\r\n3.841 x\r\n");
  try {
    Run(kClassTable, Predicting(2));
    FAIL() << "the run did not stop";
  } catch (const EngineError& error) {
    EXPECT_TRUE(StartsWith(error.what(), "Invalid numeric input")) << error.what();
  }
}

TEST_F(EngineRunTest, ValuesMissingAtTheEndOfProgParReadAsZero) {
  WriteFile("prog.par", "10.828 13.816\r\n");
  EXPECT_TRUE(StartsWith(Run(kClassTable, Predicting(2)), kHeaderStart));
}

TEST_F(EngineRunTest, BoundaryParametersAreAccepted) {
  WriteProgPar();
  RunParameters p = Predicting(2);
  p.VariantsNumber = 255;
  p.FoldsCrossValidate = 255;
  p.Homogeneity = 0.02;  // a classification run takes any homogeneity
  const std::string report = Run(kClassTable, p);
  EXPECT_TRUE(StartsWith(report, std::string(kHeaderStart) +
                                     "Recursive Complexity= 1.000 Homogeneity=0.020\r\n"
                                     "Number of sites=   4 Number of features=   2 "
                                     "Number of classes=   2\r\n"))
      << report;
  for (double level : {0.001, 0.005, 0.01, 0.05}) {
    p = Predicting(2);
    p.Homogeneity = level;
    EXPECT_TRUE(StartsWith(Run(kNumericTable, p), kHeaderStart)) << level;
  }
}

class LineEndTwins : public EngineRunTest {};

TEST_F(LineEndTwins, LfAndCrLfTablesGiveTheSameReport) {
  WriteProgPar();
  const std::string classification =
      "6 3 NA # weather #\n0(3) 1 0(2)\noutlook temp play\n"
      "sun 30 no\nsun 27 no\nrain 18 yes\n"
      "cloud 21,yes\nrain 12 # cold # no\nNA 22 yes\n"
      "Predict 2\nsun 25 NA\nrain 15 NA\n";
  const std::string regression =
      "5 2 ?\n1 0(2)\nvalue kind\n1.5 a\n2 a\n7.25 b\n8 b\n? a\npredict 1\n? b\n";
  const struct {
    const std::string& table;
    int32_t feature;
  } runs[] = {{classification, 3}, {regression, 1}};
  for (const auto& run : runs) {
    RunParameters p = Predicting(run.feature);
    p.FoldsCrossValidate = 2;
    const std::string crlf = Run(WithLineEnds(run.table, LineEnds::CrLf), p);
    const std::string lf = Run(WithLineEnds(run.table, LineEnds::Lf), p);
    EXPECT_TRUE(StartsWith(crlf, kHeaderStart)) << crlf;
    EXPECT_EQ(lf, crlf);
  }
}

}  // namespace
}  // namespace tarvo
