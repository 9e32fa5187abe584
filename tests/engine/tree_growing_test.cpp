// Best-first growing under the leaf budget, the choice of the leaf to grow, and the thinning of
// the features between the searches of a series.
#include "tree_growing.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "run_fixture.h"
#include "tarvo/engine.h"

namespace tarvo {
namespace {

using testing::Branches;
using testing::ClassLeaf;
using testing::kMiss;
using testing::MakeGrower;
using testing::RunBuilder;
using testing::ThreadsName;
using testing::TreeBuilder;
using testing::ValueLeaf;

// Records what the engine shows: "panel:text" for a text, "repaint" for a repaint.
class RecordingSink : public ProgressSink {
 public:
  void SetPanelText(int panel, const std::string& text) override {
    events.push_back(std::to_string(panel) + ":" + text);
  }
  void Repaint() override { events.push_back("repaint"); }
  std::vector<std::string> events;
};

std::vector<std::string> Shown(std::initializer_list<const char*> totals) {
  std::vector<std::string> events;
  for (const char* t : totals) {
    events.push_back(std::string("1: Node ") + t);
    events.push_back("repaint");
  }
  return events;
}

// Growing runs with the features of each top-level search evaluated on one thread and on two.
class GrowTreeTest : public ::testing::TestWithParam<int32_t> {};

INSTANTIATE_TEST_SUITE_P(Threads, GrowTreeTest, ::testing::Values(1, 2), ThreadsName);

TEST_P(GrowTreeTest, OneNodeTreeHasOneLeafAndShowsNodeOne) {
  auto run = RunBuilder()
                 .Numeric("x", {1, 2, 3})
                 .Nominal("cls", {"a", "b"}, {1, 1, 1})
                 .Classify(2)
                 .Build();
  RecordingSink sink;
  run->Progress = &sink;
  MakeGrower(*run, GetParam()).GrowTree();
  EXPECT_EQ(run->LeafCount, 1);
  EXPECT_EQ(run->Root()->FirstBranch, nullptr);
  EXPECT_TRUE(run->Root()->Terminal);
  EXPECT_EQ(sink.events, Shown({"1"}));
}

// Error weight 10. x puts object 1 (a) and object 2 (b) alone and objects 3 and 4 (a, c)
// together: 10 x 1/4 + 3/4 + 0.1 = 3.35 against 10 x 2/4 + 1/4 unsplit; merging either pair adds
// an error (5.6). z is known only for objects 3 and 4 (half of the root's objects, so no
// candidate there) and separates them: the leaf of x = 3 grows into two leaves
// (0 + 2/2 + 0.1 against 10 x 1/2 + 1/2).
RunBuilder BudgetTable(bool withInactiveObject) {
  RunBuilder b;
  if (withInactiveObject) {
    // A fifth object without a class takes part in nothing, but it raises the budget N to 5.
    b.Numeric("x", {1, 2, 3, 3, 1})
        .Numeric("z", {kMiss, kMiss, 1, 2, kMiss})
        .Nominal("cls", {"a", "b", "c"}, {1, 2, 1, 3, kMiss});
  } else {
    b.Numeric("x", {1, 2, 3, 3})
        .Numeric("z", {kMiss, kMiss, 1, 2})
        .Nominal("cls", {"a", "b", "c"}, {1, 2, 1, 3});
  }
  return b.Classify(3).TargetWeight(10.0);
}

TEST_P(GrowTreeTest, LeafIsClosedWhenItsSubtreeWouldReachTheBudget) {
  auto run = BudgetTable(false).Build();
  RecordingSink sink;
  run->Progress = &sink;
  MakeGrower(*run, GetParam()).GrowTree();
  // 3 leaves + 2 - 1 = 4 is not below N = 4: the tree stays as the first search left it.
  EXPECT_EQ(run->LeafCount, 3);
  const auto branches = Branches(*run->Root());
  ASSERT_EQ(branches.size(), 3u);
  const TNodeRec& closed = *branches[2]->Child;
  EXPECT_EQ(closed.Feature, -1);
  EXPECT_EQ(closed.FirstBranch, nullptr);
  EXPECT_FALSE(closed.Terminal);
  // The refused subtree's leaves still count in the total shown.
  EXPECT_EQ(sink.events, Shown({"3", "5"}));
}

TEST_P(GrowTreeTest, LeafGrowsWhenItsSubtreeFitsTheBudget) {
  auto run = BudgetTable(true).Build();
  RecordingSink sink;
  run->Progress = &sink;
  MakeGrower(*run, GetParam()).GrowTree();
  EXPECT_EQ(run->LeafCount, 4);
  const auto branches = Branches(*run->Root());
  ASSERT_EQ(branches.size(), 3u);
  const TNodeRec& grown = *branches[2]->Child;
  EXPECT_EQ(grown.Feature, 2);
  ASSERT_EQ(Branches(grown).size(), 2u);
  EXPECT_EQ(sink.events, Shown({"3", "5"}));
}

TEST_P(GrowTreeTest, FirstSearchIsTakenWholeEvenAtTheBudget) {
  // Three objects of three classes, error weight 10: three pure leaves (1.1) against 7 unsplit.
  auto run = RunBuilder()
                 .Numeric("x", {1, 2, 3})
                 .Nominal("cls", {"a", "b", "c"}, {1, 2, 3})
                 .Classify(2)
                 .TargetWeight(10.0)
                 .Build();
  RecordingSink sink;
  run->Progress = &sink;
  MakeGrower(*run, GetParam()).GrowTree();
  EXPECT_EQ(run->LeafCount, 3);
  EXPECT_EQ(Branches(*run->Root()).size(), 3u);
  EXPECT_EQ(sink.events, Shown({"3"}));
}

// Error weight 10, six objects: x = 1 (b, b) and x = 2 (a, a, c, c). The second leaf is not
// homogeneous, and z varies in it, but z does not lower its errors: 10 x 2/4 + 2/4 + 0.1 against
// 10 x 2/4 + 1/4.
TEST_P(GrowTreeTest, LeafIsClosedWhenItsSearchFindsNoSplit) {
  auto run = RunBuilder()
                 .Numeric("x", {1, 1, 2, 2, 2, 2})
                 .Numeric("z", {1, 1, 1, 2, 1, 2})
                 .Nominal("cls", {"a", "b", "c"}, {2, 2, 1, 1, 3, 3})
                 .Classify(3)
                 .TargetWeight(10.0)
                 .Build();
  RecordingSink sink;
  run->Progress = &sink;
  MakeGrower(*run, GetParam()).GrowTree();
  EXPECT_EQ(run->LeafCount, 2);
  const auto branches = Branches(*run->Root());
  ASSERT_EQ(branches.size(), 2u);
  EXPECT_EQ(branches[0]->Child->Feature, 0);
  EXPECT_TRUE(branches[0]->Child->Terminal);
  const TNodeRec& closed = *branches[1]->Child;
  EXPECT_EQ(closed.Feature, -1);
  EXPECT_EQ(closed.FirstBranch, nullptr);
  EXPECT_EQ(closed.ObjectCount, 4);
  // The single node counts as one more leaf found; the closed leaf is not tried again.
  EXPECT_EQ(sink.events, Shown({"2", "3"}));
}

class FindLeafToExpandTest : public ::testing::Test {
 protected:
  std::unique_ptr<TRunState> ClassRun() {
    return RunBuilder().Numeric("x", {1}).Nominal("cls", {"a", "b"}, {1}).Classify(2).Build();
  }
};

TEST_F(FindLeafToExpandTest, EqualScoresGoToTheFirstLeafOfTheDepthFirstWalk) {
  auto run = ClassRun();
  TreeBuilder tree = TreeBuilder::InPools(*run);
  TNodeRec& root = tree.Root();
  TNodeRec& inner = tree.Interval(root, 1, -1e17, 1.5);
  ClassLeaf(tree.Interval(inner, 2, -1e17, 4), {3, 0}, false);  // score 0
  ClassLeaf(tree.Interval(inner, 2, 4, 1e17), {2, 5}, false);   // score 2, met first
  ClassLeaf(tree.Interval(root, 1, 1.5, 2.5), {1, 4}, false);   // score 1
  ClassLeaf(tree.Interval(root, 1, 2.5, 3.5), {2, 2}, false);   // score 2
  ClassLeaf(tree.Interval(root, 1, 3.5, 4.5), {5, 5}, true);    // terminal: never grown
  TNodeRec& closed = tree.Interval(root, 1, 4.5, 1e17);
  ClassLeaf(closed, {6, 6}, false);
  closed.Feature = -1;

  TNodePath path;
  int32_t depth = 0;
  ASSERT_TRUE(MakeGrower(*run).FindLeafToExpand(path, depth));
  ASSERT_EQ(depth, 2);
  EXPECT_EQ(path[0].Branch, root.FirstBranch);
  EXPECT_EQ(path[0].Feature, 1);
  EXPECT_EQ(path[1].Branch, inner.FirstBranch->Next);
  EXPECT_EQ(path[1].Feature, 2);
}

TEST_F(FindLeafToExpandTest, PureLeafIsStillACandidate) {
  auto run = ClassRun();
  TreeBuilder tree = TreeBuilder::InPools(*run);
  TNodeRec& root = tree.Root();
  ClassLeaf(tree.Interval(root, 1, -1e17, 1.5), {3, 0}, false);
  ClassLeaf(tree.Interval(root, 1, 1.5, 1e17), {0, 2}, false);
  TNodePath path;
  int32_t depth = 0;
  ASSERT_TRUE(MakeGrower(*run).FindLeafToExpand(path, depth));
  EXPECT_EQ(depth, 1);
  EXPECT_EQ(path[0].Branch, root.FirstBranch);
}

TEST_F(FindLeafToExpandTest, RootAloneIsNeverACandidate) {
  auto run = ClassRun();
  TreeBuilder tree = TreeBuilder::InPools(*run);
  ClassLeaf(tree.Root(), {1, 1}, false);
  TNodePath path;
  int32_t depth = 0;
  EXPECT_FALSE(MakeGrower(*run).FindLeafToExpand(path, depth));
}

TEST_F(FindLeafToExpandTest, RegressionLeavesAreRankedByDispersion) {
  auto run = RunBuilder().Numeric("x", {1}).Numeric("y", {1}).Regress(2).Build();
  TreeBuilder tree = TreeBuilder::InPools(*run);
  TNodeRec& root = tree.Root();
  ValueLeaf(tree.Interval(root, 1, -1e17, 1.5), 10, 100.0, 2.0, false);
  ValueLeaf(tree.Interval(root, 1, 1.5, 1e17), 2, 1.0, 3.0, false);
  TNodePath path;
  int32_t depth = 0;
  ASSERT_TRUE(MakeGrower(*run).FindLeafToExpand(path, depth));
  EXPECT_EQ(depth, 1);
  EXPECT_EQ(path[0].Branch, root.FirstBranch->Next);
}

// A run of m - 1 numeric features and the predicted column m.
std::unique_ptr<TRunState> ManyFeatures(int32_t m, double recursiveComplexity) {
  RunBuilder b;
  for (int32_t f = 1; f < m; ++f) b.Numeric("f" + std::to_string(f), {1, 2});
  return b.Nominal("cls", {"a", "b"}, {1, 2})
      .Classify(m)
      .RecursiveComplexity(recursiveComplexity)
      .Build();
}

void SetScores(TRunState& run, std::initializer_list<std::pair<int32_t, double>> scores) {
  for (const auto& [f, s] : scores) run.FeatureScore[f] = s;
}

std::vector<int32_t> Allowed(const TFeatureMask& mask, int32_t m) {
  std::vector<int32_t> features;
  for (int32_t f = 1; f <= m; ++f) {
    if (mask[f]) features.push_back(f);
  }
  return features;
}

TEST(SelectFeatureSubsetTest, SearchesUpToTheBaseDepthUseEveryAllowedFeature) {
  auto run = ManyFeatures(13, 2.5);
  TFeatureMask mask;
  int32_t k = 0;
  run->LookAhead = 2;
  ASSERT_TRUE(MakeGrower(*run).SelectFeatureSubset(mask, k));
  EXPECT_EQ(k, 13);
  EXPECT_EQ(Allowed(mask, 13), Allowed(run->PredictorMask, 13));
  // Between 0 and 1 the searches of depth 0 and 1 both use every feature.
  auto low = ManyFeatures(13, 0.5);
  for (int32_t depth : {0, 1}) {
    low->LookAhead = depth;
    ASSERT_TRUE(MakeGrower(*low).SelectFeatureSubset(mask, k));
    EXPECT_EQ(k, 13);
  }
}

// RecursiveComplexity 2.5 at depth 3: k = Trunc(13 x 0.5^2) = 3. Ranking by the partial selection
// sort: f5 (0.2) swaps into position 1; f2 and f4 tie at 0.3 and the first position wins.
TEST(SelectFeatureSubsetTest, DeeperSearchKeepsTheBestRankedFeatures) {
  auto run = ManyFeatures(13, 2.5);
  for (int32_t f = 6; f <= 12; ++f) run->FeatureScore[f] = 0.9;
  SetScores(*run, {{1, 0.5}, {2, 0.3}, {4, 0.3}, {5, 0.2}});
  run->LookAhead = 3;
  TFeatureMask mask;
  int32_t k = 0;
  ASSERT_TRUE(MakeGrower(*run).SelectFeatureSubset(mask, k));
  EXPECT_EQ(k, 3);
  EXPECT_EQ(Allowed(mask, 13), (std::vector<int32_t>{2, 4, 5}));
  // At depth 4, k = Trunc(13 x 0.5^3) = 1 ends the series.
  run->LookAhead = 4;
  EXPECT_FALSE(MakeGrower(*run).SelectFeatureSubset(mask, k));
}

// RecursiveComplexity 1.5 at depth 2 with 5 features: k = Trunc(5 x 0.5) = 2. f3 (0.1) swaps with
// f1, which lands behind f2: of the tied f1 and f2 the sort now meets f2 first.
TEST(SelectFeatureSubsetTest, SelectionSortSwapsDecideTies) {
  auto run = ManyFeatures(5, 1.5);
  SetScores(*run, {{1, 0.4}, {2, 0.4}, {3, 0.1}, {4, 0.9}});
  run->LookAhead = 2;
  TFeatureMask mask;
  int32_t k = 0;
  ASSERT_TRUE(MakeGrower(*run).SelectFeatureSubset(mask, k));
  EXPECT_EQ(k, 2);
  EXPECT_EQ(Allowed(mask, 5), (std::vector<int32_t>{2, 3}));
}

TEST(SelectFeatureSubsetTest, UnscoredFeaturesAreDropped) {
  auto run = ManyFeatures(13, 2.5);
  SetScores(*run, {{7, 0.2}, {9, 0.4}});
  run->LookAhead = 3;
  TFeatureMask mask;
  int32_t k = 0;
  ASSERT_TRUE(MakeGrower(*run).SelectFeatureSubset(mask, k));
  EXPECT_EQ(k, 2);
  EXPECT_EQ(Allowed(mask, 13), (std::vector<int32_t>{7, 9}));
  // With one scored feature fewer than two remain.
  run->FeatureScore[9] = 1e17;
  EXPECT_FALSE(MakeGrower(*run).SelectFeatureSubset(mask, k));
}

TEST(SelectFeatureSubsetTest, WholeComplexityRunsOneSearchOfItsDepth) {
  auto one = ManyFeatures(13, 1.0);
  TFeatureMask mask;
  int32_t k = 0;
  one->LookAhead = 2;
  EXPECT_FALSE(MakeGrower(*one).SelectFeatureSubset(mask, k));
  auto three = ManyFeatures(13, 3.0);
  three->LookAhead = 3;
  EXPECT_TRUE(MakeGrower(*three).SelectFeatureSubset(mask, k));
  three->LookAhead = 4;
  EXPECT_FALSE(MakeGrower(*three).SelectFeatureSubset(mask, k));
}

TEST(SelectFeatureSubsetTest, NegativeFractionEndsTheSeriesAfterItsFirstSearch) {
  // -1.5: base depth -1, fraction -0.5, which has no logarithm.
  auto run = ManyFeatures(13, -1.5);
  ASSERT_EQ(run->BaseLookAhead, -1);
  TFeatureMask mask;
  int32_t k = 0;
  run->LookAhead = -1;
  EXPECT_TRUE(MakeGrower(*run).SelectFeatureSubset(mask, k));
  run->LookAhead = 0;
  EXPECT_FALSE(MakeGrower(*run).SelectFeatureSubset(mask, k));
}

}  // namespace
}  // namespace tarvo
