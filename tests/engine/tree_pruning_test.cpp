// Runs with pruning: the report's tree is the chosen row of its pruning table, and a tree that
// cross-validation keeps whole is reported, predicted and cross-validated as without pruning.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tarvo/engine.h"
#include "test_files.h"

namespace tarvo {
namespace {

using testing::EngineRunTest;
using testing::ReadBytes;

// n objects: x in 1..n, z a second number, the class "a" up to x = n/2 and "b" above, except
// that every `noise`-th object (0: none) has the other class; two objects to predict.
std::string Table(int n, int noise) {
  std::string text = std::to_string(n) + " 3 ?\r\n1 1 0(2)\r\nx z cls\r\n";
  for (int o = 1; o <= n; ++o) {
    bool b = o > n / 2;
    if (noise > 0 && o % noise == 0) b = !b;
    text += std::to_string(o) + " " + std::to_string((o * 7) % 11) + (b ? " b\r\n" : " a\r\n");
  }
  text += "Predict 2\r\n3 1 a\r\n" + std::to_string(n) + " 2 b\r\n";
  return text;
}

int Count(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

class PrunedRunTest : public EngineRunTest {
 protected:
  std::string RunPruned(const std::string& table, PruneRule rule, RunParameters p) {
    WriteFile("table.txt", table);
    p.FeatureToPredict = 3;
    RunOptions options;
    options.Prune = rule;
    RunEngine(p, "table.txt", options);
    return ReadBytes(folder_.File("output.txt"));
  }
  void SetUp() override {
    EngineRunTest::SetUp();
    WriteProgPar();
  }
};

// The chosen row's leaves in the pruning table, -1 without a chosen row.
int ChosenLeaves(const std::string& report) {
  const size_t chosen = report.find("  chosen\r\n");
  if (chosen == std::string::npos) return -1;
  const size_t start = report.rfind("\r\n", chosen) + 2;
  double complexity = 0;
  int leaves = -1;
  std::sscanf(report.c_str() + start, "%lf %d", &complexity, &leaves);
  return leaves;
}

TEST_F(PrunedRunTest, TreeKeptWholeReportsAsWithoutPruningFollowedByTheTable) {
  const std::string table = Table(40, 0);
  RunParameters p;
  p.FeatureToPredict = 3;
  const std::string plain = Run(table, p);
  const std::string pruned = RunPruned(table, PruneRule::Min, p);
  ASSERT_EQ(pruned.compare(0, plain.size(), plain), 0) << pruned;
  const std::string rest = pruned.substr(plain.size());
  EXPECT_EQ(rest.find("\r\n Pruning (min) on 10 folds:\r\n  Complexity Leaves  Error St.error\r\n"),
            0u)
      << rest;
  EXPECT_EQ(ChosenLeaves(pruned), Count(plain, " Rule "));
}

TEST_F(PrunedRunTest, ReportedTreeIsTheChosenRowAndSmallerThanGrown) {
  const std::string table = Table(60, 4);
  RunParameters p;
  p.FeatureToPredict = 3;
  p.TargetWeight = 4;  // grows past the right size
  p.Homogeneity = 0;
  const std::string grown = Run(table, p);
  const std::string pruned = RunPruned(table, PruneRule::OneSe, p);
  EXPECT_EQ(ChosenLeaves(pruned), Count(pruned, " Rule "));
  EXPECT_LT(Count(pruned, " Rule "), Count(grown, " Rule "));
  EXPECT_EQ(Count(pruned, "  chosen\r\n"), 1);
  EXPECT_EQ(Count(pruned, "crossvalidate error"), 1);
  // The same run again gives the same bytes.
  EXPECT_EQ(RunPruned(table, PruneRule::OneSe, p), pruned);
}

TEST_F(PrunedRunTest, WithoutFoldsTheTreeStaysAsGrown) {
  const std::string table = Table(60, 4);
  RunParameters p;
  p.FeatureToPredict = 3;
  p.FoldsCrossValidate = 1;
  const std::string plain = Run(table, p);
  const std::string pruned = RunPruned(table, PruneRule::Min, p);
  EXPECT_EQ(pruned, plain +
                        "\r\n Pruning needs at least 2 folds of cross-validation: the tree is not "
                        "pruned\r\n");
}

}  // namespace
}  // namespace tarvo
