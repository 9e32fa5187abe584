// Runs with pruning: the report's tree is the chosen row of its pruning table, and a tree that
// cross-validation keeps whole is reported, predicted and cross-validated as without pruning.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "tarvo/engine.h"
#include "test_files.h"

namespace tarvo {
namespace {

using testing::EngineRunTest;
using testing::ReadBytes;

// n objects: x in 1..n, z a second number, the class "a" up to x = n/2 and "b" above; two
// objects to predict.
std::string Table(int n) {
  std::string text = std::to_string(n) + " 3 ?\r\n1 1 0(2)\r\nx z cls\r\n";
  for (int o = 1; o <= n; ++o) {
    text +=
        std::to_string(o) + " " + std::to_string((o * 7) % 11) + (o > n / 2 ? " b\r\n" : " a\r\n");
  }
  text += "Predict 2\r\n3 1 a\r\n" + std::to_string(n) + " 2 b\r\n";
  return text;
}

// Numbers 0..99 from a fixed generator, the same on every machine.
class TDraws {
 public:
  explicit TDraws(uint64_t seed) : state_(seed) {}
  int operator()() {
    state_ = (state_ * 1103515245 + 12345) % 2147483648;
    return static_cast<int>(state_ / 65536 % 100);
  }

 private:
  uint64_t state_;
};

// 80 objects with x and y in 0..99 drawn by a fixed generator, the class "b" when x + y > 100,
// every fifth object's class turned: a slanted border and noise, which a tree overshoots.
// With numeric, the third column is instead a number: 10 or 20 as x is at most 50 or above, plus
// y modulo 7 as noise.
std::string NoisyTable(bool numeric = false) {
  std::string text = numeric ? "80 3 ?\r\n1 1 1\r\nx y z\r\n" : "80 3 ?\r\n1 1 0(2)\r\nx y cls\r\n";
  TDraws draw(7);
  for (int o = 1; o <= 80; ++o) {
    const int x = draw(), y = draw();
    const bool b = (x + y > 100) != (o % 5 == 0);
    const std::string last = numeric ? " " + std::to_string((x > 50 ? 20 : 10) + y % 7) + "\r\n"
                                     : (b ? " b\r\n" : " a\r\n");
    text += std::to_string(x) + " " + std::to_string(y) + last;
  }
  return text;
}

int Count(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

class PrunedRunTest : public EngineRunTest {
 protected:
  std::string RunPruned(const std::string& table, PruneRule rule, RunParameters p,
                        int32_t threads = 0) {
    WriteFile("table.txt", table);
    p.FeatureToPredict = 3;
    RunOptions options;
    options.Prune = rule;
    options.SearchThreads = threads;
    RunEngine(p, "table.txt", options);
    return ReadBytes(folder_.File("output.txt"));
  }
  void SetUp() override {
    EngineRunTest::SetUp();
    WriteProgPar();
  }
};

// The leaves of a row of the pruning table: the first (the tree as grown) or the chosen one;
// -1 when there is none.
int RowLeaves(const std::string& report, bool chosen) {
  const std::string heading = "St.error\r\n";
  size_t start = report.find(heading);
  if (start == std::string::npos) return -1;
  start += heading.size();
  if (chosen) {
    const size_t mark = report.find("  chosen\r\n", start);
    if (mark == std::string::npos) return -1;
    start = report.rfind("\r\n", mark) + 2;
  }
  double complexity = 0;
  int leaves = -1;
  std::sscanf(report.c_str() + start, "%lf %d", &complexity, &leaves);
  return leaves;
}

TEST_F(PrunedRunTest, TreeKeptWholeReportsAsWithoutPruningFollowedByTheTable) {
  const std::string table = Table(40);
  RunParameters p;
  p.FeatureToPredict = 3;
  const std::string plain = Run(table, p);
  const std::string pruned = RunPruned(table, PruneRule::Min, p);
  ASSERT_EQ(pruned.compare(0, plain.size(), plain), 0) << pruned;
  const std::string rest = pruned.substr(plain.size());
  EXPECT_EQ(rest.find("\r\n Pruning (min) on 10 folds:\r\n  Complexity Leaves  Error St.error\r\n"),
            0u)
      << rest;
  EXPECT_EQ(RowLeaves(pruned, true), Count(plain, "\r\n IF\r\n"));
}

TEST_F(PrunedRunTest, ReportedTreeIsTheChosenRowAndSmallerThanGrown) {
  const std::string table = NoisyTable();
  RunParameters p;
  p.FeatureToPredict = 3;
  p.Homogeneity = 0;  // grows past the right size
  const std::string pruned = RunPruned(table, PruneRule::OneSe, p);
  EXPECT_EQ(RowLeaves(pruned, true), Count(pruned, "\r\n IF\r\n"));
  EXPECT_LT(RowLeaves(pruned, true), RowLeaves(pruned, false));
  EXPECT_EQ(Count(pruned, "  chosen\r\n"), 1);
  EXPECT_EQ(Count(pruned, "crossvalidate error"), 1);
  // The same run again gives the same bytes, with the trees grown one by one or side by side.
  EXPECT_EQ(RunPruned(table, PruneRule::OneSe, p, 1), pruned);
  EXPECT_EQ(RunPruned(table, PruneRule::OneSe, p, 3), pruned);
}

// Without look-ahead a classification tree is grown with Gini and with entropy impurity, and the
// report keeps the one whose sequence has the least error, the table being that one's.
TEST_F(PrunedRunTest, ClassificationTakesTheImpurityWithTheLeastError) {
  RunParameters p;
  p.FeatureToPredict = 3;
  const std::string pruned = RunPruned(NoisyTable(), PruneRule::OneSe, p);
  const size_t line = pruned.find("\r\n Impurity of the cuts: ");
  ASSERT_NE(line, std::string::npos) << pruned;
  char chosen[16] = {};
  double gini = -1, entropy = -1;
  ASSERT_EQ(std::sscanf(pruned.c_str() + line,
                        "\r\n Impurity of the cuts: %15s (least error: "
                        "Gini %lf, entropy %lf)",
                        chosen, &gini, &entropy),
            3)
      << pruned.substr(line);
  EXPECT_EQ(std::string(chosen), entropy < gini ? "entropy" : "Gini");
  double least = 2;
  for (size_t at = pruned.find("St.error\r\n") + 10; at < line; at = pruned.find("\r\n", at) + 2) {
    double complexity = 0, error = 0;
    int leaves = 0;
    if (std::sscanf(pruned.c_str() + at, "%lf %d %lf", &complexity, &leaves, &error) == 3)
      least = std::min(least, error);
  }
  EXPECT_DOUBLE_EQ(least, std::min(gini, entropy));
}

TEST_F(PrunedRunTest, RegressionTreeIsTheChosenRow) {
  const std::string pruned = RunPruned(NoisyTable(true), PruneRule::Min, RunParameters{});
  EXPECT_EQ(pruned.find("Impurity of the cuts"), std::string::npos);
  EXPECT_EQ(RowLeaves(pruned, true), Count(pruned, "\r\n IF\r\n"));
  EXPECT_EQ(Count(pruned, " 10-fold  relative crossvalidate error "), 1);
  EXPECT_EQ(Count(pruned, "  chosen\r\n"), 1);
}

TEST_F(PrunedRunTest, RegressionAtHomogeneityZeroGrowsWhereTheDispersionTestStops) {
  // Large values close together: the dispersion test finds the root homogeneous, although x
  // separates two levels of the predicted value.
  std::string table = "40 2 ?\r\n1 1\r\nx y\r\n";
  for (int o = 1; o <= 40; ++o) {
    table += std::to_string(o) + " " + std::to_string(1000 + (o > 20 ? 6 : 0) + o % 3) + "\r\n";
  }
  RunParameters p;
  p.FeatureToPredict = 2;
  EXPECT_EQ(Count(Run(table, p), "\r\n IF\r\n"), 0);
  p.Homogeneity = 0;
  const std::string refused = Run(table, p);
  EXPECT_NE(refused.find("homogeneity must be 0.001, 0.005, 0.01 or 0.05"), std::string::npos);
  WriteFile("table.txt", table);
  RunOptions options;
  options.Prune = PruneRule::Min;
  RunEngine(p, "table.txt", options);
  const std::string pruned = ReadBytes(folder_.File("output.txt"));
  EXPECT_GE(RowLeaves(pruned, true), 2) << pruned;
}

TEST_F(PrunedRunTest, BinaryTreeCutsTheSameColumnAgainBelow) {
  // Three classes by thirds of x: two cuts of x, one below the other.
  std::string table = "60 3 ?\r\n1 1 0(3)\r\nx z cls\r\n";
  for (int o = 1; o <= 60; ++o) {
    table += std::to_string(o) + " " + std::to_string(o * 7 % 13) + " " +
             (o <= 20   ? "a"
              : o <= 40 ? "b"
                        : "c") +
             "\r\n";
  }
  RunParameters p;
  p.FeatureToPredict = 3;
  const std::string pruned = RunPruned(table, PruneRule::Min, p);
  EXPECT_EQ(Count(pruned, "\r\n IF\r\n"), 3) << pruned;
  EXPECT_NE(pruned.find(" x <=   20.50,"), std::string::npos) << pruned;
  EXPECT_NE(pruned.find(" x >   40.50,"), std::string::npos) << pruned;
}

TEST_F(PrunedRunTest, LookAheadGrowthCutsOnWhereItsSearchStops) {
  // Two "b" among ten "a": setting them apart saves two errors, which at target weight 0.5 pays
  // no more than the leaf it adds, so the look-ahead search leaves the root whole; a binary cut
  // makes both sides pure.
  std::string table = "12 3 ?\r\n1 1 0(2)\r\nx z cls\r\n";
  for (int o = 1; o <= 12; ++o) {
    table += std::to_string(o) + " " + std::to_string(o * 5 % 7) + (o > 10 ? " b\r\n" : " a\r\n");
  }
  RunParameters p;
  p.RecursiveComplexity = 2;
  p.TargetWeight = 0.5;
  p.Homogeneity = 0;
  p.FeatureToPredict = 3;
  EXPECT_EQ(Count(Run(table, p), "\r\n IF\r\n"), 0);
  const std::string pruned = RunPruned(table, PruneRule::Min, p);
  EXPECT_EQ(RowLeaves(pruned, false), 2) << pruned;
  EXPECT_NE(pruned.find(" x <=   10.50,"), std::string::npos) << pruned;
  EXPECT_EQ(pruned.find("Impurity of the cuts"), std::string::npos);  // only without look-ahead
}

TEST_F(PrunedRunTest, WithoutFoldsTheTreeStaysAsGrown) {
  const std::string table = NoisyTable();
  RunParameters p;
  p.FeatureToPredict = 3;
  p.FoldsCrossValidate = 1;
  const std::string plain = Run(table, p);
  const std::string pruned = RunPruned(table, PruneRule::Min, p);
  EXPECT_EQ(pruned, plain +
                        "\r\n Pruning needs at least 2 folds of cross-validation: the tree is not "
                        "pruned\r\n");
}

// The next variant leaves out the root feature of the last fold's tree as grown. Cut to its size
// that tree is often a leaf (here, with random classes), which ended the variants although the
// reported tree split its root.
TEST_F(PrunedRunTest, VariantsGoOnWhenTheLastFoldTreeIsCutToALeaf) {
  std::string table = "80 3 ?\r\n1 1 0(2)\r\nx y cls\r\n";
  TDraws draw(26);
  for (int o = 1; o <= 80; ++o) {
    const int x = draw(), y = draw();
    table += std::to_string(x) + " " + std::to_string(y) + (draw() % 2 ? " b\r\n" : " a\r\n");
  }
  RunParameters p;
  p.VariantsNumber = 2;
  const std::string report = RunPruned(table, PruneRule::OneSe, p);
  ASSERT_GT(RowLeaves(report, true), 1);  // the first tree splits its root
  EXPECT_EQ(Count(report, "Variant N  2"), 1);
}

}  // namespace
}  // namespace tarvo
