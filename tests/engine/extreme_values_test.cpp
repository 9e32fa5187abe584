// Numeric values beyond the printed outer bounds of -1e17 and 1e17, and neighbouring doubles: every
// object is listed under, and predicted by, the branch whose group it trained in.
#include <gtest/gtest.h>

#include <string>

#include "test_files.h"

namespace tarvo {
namespace {

using testing::EngineRunTest;

// The text of rule `number` in a report: from its heading to the next line of hyphens.
std::string RuleText(const std::string& report, int number) {
  const std::string heading =
      " Rule " + std::string(number < 10 ? "  " : " ") + std::to_string(number) + ",\r\n";
  const size_t start = report.find(heading);
  if (start == std::string::npos) return "no rule " + std::to_string(number);
  return report.substr(start, report.find("-----", start) - start);
}

RunParameters Predicting(int32_t feature, int32_t folds) {
  RunParameters p;
  p.FeatureToPredict = feature;
  p.FoldsCrossValidate = folds;
  return p;
}

TEST_F(EngineRunTest, ValuesBeyondTheOuterBoundsFindTheirBranch) {
  WriteProgPar();
  const std::string report = Run(
      "4 2 ?\r\n1 0(2)\r\nx y\r\n1 a\r\n2 a\r\n1000000000000000000 b\r\n2000000000000000000 b\r\n"
      "Predict 1\r\n3000000000000000000 b\r\n",
      Predicting(2, 10));
  // The printed bound stays the threshold between the groups.
  const std::string upper = RuleText(report, 2);
  EXPECT_NE(upper.find(" x >500000000000000000.00,"), std::string::npos) << upper;
  EXPECT_NE(upper.find(" b\r\n   3,   4,\r\n"), std::string::npos) << upper;
  EXPECT_NE(report.find("Object   1-> b (true class= b)\r\ntest error=0.000"), std::string::npos)
      << report;
  // Below -1e17 as well, in a regression run: each rule lists its own two objects.
  const std::string below =
      Run("4 2 ?\r\n1 1\r\nx y\r\n-2000000000000000000 1\r\n-1000000000000000000 1.5\r\n1 40\r\n2 "
          "41\r\n",
          Predicting(2, 0));
  EXPECT_NE(RuleText(below, 1).find("   1,   2,\r\n"), std::string::npos) << below;
  EXPECT_NE(RuleText(below, 2).find("   3,   4,\r\n"), std::string::npos) << below;
  // The last group merged into its neighbour before that neighbour merged into the group below
  // it: the upper branch is still open, so it holds the objects beyond 1e17 and predicts them.
  const std::string merged = Run(
      "5 2 ?\r\n1 1\r\nx y\r\n1 0\r\n2 0.1\r\n3 12\r\n1000000000000000000 20\r\n"
      "2000000000000000000 20.1\r\nPredict 1\r\n3000000000000000000 20\r\n",
      Predicting(2, 0));
  EXPECT_NE(RuleText(merged, 2).find("   3,   4,   5,\r\n"), std::string::npos) << merged;
  EXPECT_NE(merged.find("Object   1->   17.37"), std::string::npos) << merged;
}

TEST_F(EngineRunTest, MinAndMaxOfARuleStartFromItsFirstObject) {
  WriteProgPar();
  const std::string report =
      Run("4 2 ?\r\n1 1\r\nx y\r\n1 200000000000000000\r\n2 210000000000000000\r\n"
          "3 900000000000000000\r\n4 910000000000000000\r\n",
          Predicting(2, 0));
  const std::string first = RuleText(report, 1);
  EXPECT_NE(first.find(" Min value y - 200000000000000000.000,\r\n"
                       " Max value y - 210000000000000000.000,\r\n"),
            std::string::npos)
      << first;
  const std::string second = RuleText(report, 2);
  EXPECT_NE(second.find(" Min value y - 900000000000000000.000,\r\n"
                        " Max value y - 910000000000000000.000,\r\n"),
            std::string::npos)
      << second;
}

TEST_F(EngineRunTest, NeighbouringDoublesAreListedUnderTheirOwnRule) {
  WriteProgPar();
  // The two values are one rounding step apart: their midpoint rounds onto the upper one.
  const std::string report =
      Run("4 2 ?\r\n1 0(2)\r\nx y\r\n1.0000000000000002 a\r\n1.0000000000000002 a\r\n"
          "1.0000000000000004 b\r\n1.0000000000000004 b\r\n",
          Predicting(2, 0));
  EXPECT_NE(RuleText(report, 1).find(" a\r\n   1,   2,\r\n b\r\n\r\n"), std::string::npos)
      << report;
  EXPECT_NE(RuleText(report, 2).find(" a\r\n\r\n b\r\n   3,   4,\r\n"), std::string::npos)
      << report;
}

}  // namespace
}  // namespace tarvo
