// The features of a search may be evaluated on several threads; the report must not change.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "driver.h"
#include "test_files.h"

namespace tarvo::testing {
namespace {

// A table with structure in the first columns, nominal and numeric predictors, missing values
// and a prediction section, from a fixed linear congruential sequence.
std::string MixedTable(int objects, int predictors, bool nominalTarget) {
  uint32_t state = 12345;
  auto next = [&](uint32_t range) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % range;
  };
  std::string types = nominalTarget ? "0(3)" : "1";
  std::string names = "target";
  for (int c = 1; c <= predictors; ++c) {
    types += c % 3 == 0 ? " 0(4)" : " 1";
    names += " x" + std::to_string(c);
  }
  auto row = [&](bool predict) {
    std::string values;
    const int x1 = static_cast<int>(next(40));
    const int x2 = static_cast<int>(next(40));
    std::string predictorsText = " " + std::to_string(x1) + " " + std::to_string(x2);
    for (int c = 3; c <= predictors; ++c) {
      // Column 3 is missing for most objects: no candidate at the root, but in some subsets.
      if (next(20) == 0 || (c == 3 && next(10) < 6)) {
        predictorsText += " ?";
      } else if (c % 3 == 0) {
        predictorsText += " v" + std::to_string(next(4));
      } else {
        predictorsText += " " + std::to_string(next(100)) + "." + std::to_string(next(10));
      }
    }
    const int noise = static_cast<int>(next(10));
    std::string target;
    if (predict && next(3) == 0) {
      target = "?";
    } else if (nominalTarget) {
      const int s = x1 + x2 / 2 + noise;
      target = s < 20 ? "low" : s < 40 ? "mid" : "high";
    } else {
      target = std::to_string(x1 * 2 + (x2 > 20 ? 15 : 0) + noise);
    }
    return target + predictorsText + "\r\n";
  };
  std::string text = std::to_string(objects) + " " + std::to_string(predictors + 1) + " ?\r\n" +
                     types + "\r\n" + names + "\r\n";
  for (int o = 0; o < objects; ++o) text += row(false);
  text += "Predict 6\r\n";
  for (int o = 0; o < 6; ++o) text += row(true);
  return text;
}

class SearchThreadsTest : public EngineRunTest, public ::testing::WithParamInterface<bool> {
 protected:
  std::string RunOn(int32_t threads, double recursiveComplexity) {
    RunParameters p;
    p.RecursiveComplexity = recursiveComplexity;
    p.VariantsNumber = 3;
    p.FoldsCrossValidate = 3;
    RunEngineOnThreads(p.TargetWeight, p.RecursiveComplexity, p.Homogeneity, p.MonteCarlo,
                       p.VariantsNumber, p.FeatureToPredict, p.FoldsCrossValidate, "table.txt",
                       nullptr, threads);
    return ReadBytes(folder_.File("output.txt"));
  }
};

TEST_P(SearchThreadsTest, ReportIsTheSameOnOneTwoAndThreeThreads) {
  WriteProgPar();
  WriteFile("table.txt", MixedTable(50, 9, GetParam()));
  for (double complexity : {1.0, 1.5, 2.0}) {
    const std::string single = RunOn(1, complexity);
    ASSERT_NE(single.find("Variant N  1"), std::string::npos) << single;
    EXPECT_EQ(RunOn(2, complexity), single) << "RecursiveComplexity " << complexity;
    EXPECT_EQ(RunOn(3, complexity), single) << "RecursiveComplexity " << complexity;
  }
}

INSTANTIATE_TEST_SUITE_P(BothKindsOfTree, SearchThreadsTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Classification" : "Regression");
                         });

}  // namespace
}  // namespace tarvo::testing
