// The weakest-link sequence of hand-worked trees, the subtrees along it, and the choice of a row
// by its cross-validation figures.
#include "cost_complexity.h"

#include <gtest/gtest.h>

#include <vector>

#include "run_fixture.h"
#include "tree_pruning.h"

namespace tarvo {
namespace {

using testing::ClassLeaf;
using testing::RunBuilder;
using testing::TreeBuilder;

std::vector<int32_t> Nodes(const TPrunableTree& tree) {
  std::vector<int32_t> nodes;
  for (const TPruningStep& step : tree.Sequence()) nodes.push_back(step.Node);
  return nodes;
}

class CostComplexityTest : public ::testing::Test {
 protected:
  // x in 1..8, two classes; the tree is built by hand, its counts need not match the objects.
  std::unique_ptr<TRunState> run_ = RunBuilder()
                                        .Numeric("x", {1, 2, 3, 4, 5, 6, 7, 8})
                                        .Nominal("cls", {"a", "b"}, {1, 1, 1, 1, 2, 2, 2, 2})
                                        .Classify(2)
                                        .Build();
};

// Root 10/10 (10 errors) splits into A 8/2 and B 2/8 (2 errors each); A into 8/0 and 0/2,
// B into 1/8 and 1/0. B saves 1 error per leaf, A 2, and then the root (10 - 4) / 1 = 6.
TEST_F(CostComplexityTest, ClassificationCollapsesTheCheapestNodeFirst) {
  TreeBuilder tree = TreeBuilder::InPools(*run_);
  TNodeRec& root = tree.Root();
  root.ClassCount = testing::Counts({10, 10});
  TNodeRec& a = tree.Interval(root, 1, -kOpenBound, 4);
  TNodeRec& b = tree.Interval(root, 1, 4, kOpenBound);
  a.ClassCount = testing::Counts({8, 2});
  b.ClassCount = testing::Counts({2, 8});
  ClassLeaf(tree.Interval(a, 1, -kOpenBound, 2), {8, 0}, true);
  ClassLeaf(tree.Interval(a, 1, 2, 4), {0, 2}, true);
  ClassLeaf(tree.Interval(b, 1, 4, 7), {1, 8}, false);
  ClassLeaf(tree.Interval(b, 1, 7, kOpenBound), {1, 0}, true);

  const TPrunableTree pruned(root, 2);
  ASSERT_EQ(pruned.Sequence().size(), 3u);
  EXPECT_EQ(Nodes(pruned), (std::vector<int32_t>{4, 1, 0}));  // B, A, the root (pre-order)
  EXPECT_DOUBLE_EQ(pruned.Sequence()[0].Alpha, 1.0);
  EXPECT_DOUBLE_EQ(pruned.Sequence()[1].Alpha, 2.0);
  EXPECT_DOUBLE_EQ(pruned.Sequence()[2].Alpha, 6.0);
  EXPECT_EQ(pruned.Sequence()[0].Leaves, 3);
  EXPECT_EQ(pruned.Sequence()[2].Leaves, 1);
  EXPECT_DOUBLE_EQ(pruned.RootCost(), 10.0);

  const std::vector<TPruningRow> rows = PruningRows(pruned);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].Leaves, 4);
  EXPECT_EQ(rows[2].Leaves, 2);
  EXPECT_DOUBLE_EQ(RowProbe(rows, 1), std::sqrt(2.0));
  EXPECT_EQ(RowProbe(rows, 3), TPrunableTree::kNever);  // the root row cuts any tree to its root

  // x = 6 reaches B's first leaf in the grown tree, B itself once B has collapsed, and the
  // root at the end; an unknown x stops at the root whatever the size.
  run_->Table.Data[1][6] = 6;
  EXPECT_EQ(pruned.Answer(run_->Table.Data, 6, 0.5).ClassCount, testing::Counts({1, 8}));
  EXPECT_EQ(pruned.Answer(run_->Table.Data, 6, 1.0).ClassCount, testing::Counts({2, 8}));
  EXPECT_EQ(pruned.Answer(run_->Table.Data, 6, 6.0).ClassCount, testing::Counts({10, 10}));
  run_->Table.Data[1][6] = testing::kMiss;
  EXPECT_EQ(pruned.Answer(run_->Table.Data, 6, 0.0).ClassCount, testing::Counts({10, 10}));
}

// Two subtrees that save the same errors per leaf: the earlier one in pre-order goes first.
// The root saves (9 - 0) / 3 = 3 per leaf, then (9 - 4) / 1 = 5.
TEST_F(CostComplexityTest, TiesGoToTheEarlierNode) {
  TreeBuilder tree = TreeBuilder::InPools(*run_);
  TNodeRec& root = tree.Root();
  root.ClassCount = testing::Counts({9, 9});
  TNodeRec& a = tree.Interval(root, 1, -kOpenBound, 4);
  TNodeRec& b = tree.Interval(root, 1, 4, kOpenBound);
  a.ClassCount = testing::Counts({4, 2});
  b.ClassCount = testing::Counts({2, 4});
  ClassLeaf(tree.Interval(a, 1, -kOpenBound, 2), {4, 0}, true);
  ClassLeaf(tree.Interval(a, 1, 2, 4), {0, 2}, true);
  ClassLeaf(tree.Interval(b, 1, 4, 6), {0, 4}, true);
  ClassLeaf(tree.Interval(b, 1, 6, kOpenBound), {2, 0}, true);

  const TPrunableTree pruned(root, 2);
  EXPECT_EQ(Nodes(pruned), (std::vector<int32_t>{1, 4, 0}));
  // Both collapse at 2: one row of the table holds the tree without either.
  EXPECT_EQ(PruningRows(pruned).size(), 3u);
  EXPECT_EQ(pruned.LeavesAt(1.9), 4);
  EXPECT_EQ(pruned.LeavesAt(2.0), 2);
  EXPECT_DOUBLE_EQ(pruned.Sequence()[2].Alpha, 5.0);
}

// Regression costs are object count times dispersion. A three-way root (45) over leaves of 4,
// 6 and 1, the first split again into two of 0.5: that split saves 3, then the multiway root
// collapses whole at (45 - 11) / 2 = 17. A dispersion below 0 by rounding costs nothing.
TEST_F(CostComplexityTest, RegressionCollapsesAMultiwayNodeWhole) {
  TreeBuilder tree = TreeBuilder::InPools(*run_);
  TNodeRec& root = tree.Root();
  auto set = [](TNodeRec& node, int32_t n, double dispersion) {
    node.ObjectCount = n;
    node.Dispersion = dispersion;
  };
  set(root, 9, 5.0);
  TNodeRec& left = tree.Interval(root, 1, -kOpenBound, 3);
  set(left, 4, 1.0);
  set(tree.Interval(root, 1, 3, 6), 3, 2.0);
  set(tree.Interval(root, 1, 6, kOpenBound), 2, 0.5);
  set(tree.Interval(left, 1, -kOpenBound, 2), 2, 0.25);
  set(tree.Interval(left, 1, 2, 3), 2, 0.25);

  const TPrunableTree pruned(root, 0);
  ASSERT_EQ(pruned.Sequence().size(), 2u);
  EXPECT_EQ(Nodes(pruned), (std::vector<int32_t>{1, 0}));
  EXPECT_DOUBLE_EQ(pruned.Sequence()[0].Alpha, 3.0);
  EXPECT_DOUBLE_EQ(pruned.Sequence()[1].Alpha, 17.0);
  EXPECT_EQ(pruned.Sequence()[1].Leaves, 1);

  // A child that costs more than its parent (its objects missing the parent's value) makes a
  // negative saving: it collapses first, and the complexities never fall below 0.
  set(tree.Interval(root, 1, 9, 10), 2, -1e-18);
  root.Dispersion = 0.5;
  const TPrunableTree odd(root, 0);
  EXPECT_EQ(odd.Sequence().front().Node, 0);
  EXPECT_EQ(odd.Sequence().front().Alpha, 0.0);
}

TEST(ChooseRowTest, LeastErrorOrSmallestTreeWithinOneStandardError) {
  std::vector<TPruningRow> rows(4);
  const double errors[4] = {0.30, 0.25, 0.26, 0.40};
  for (size_t r = 0; r < 4; ++r) {
    rows[r].Leaves = 8 - 2 * static_cast<int32_t>(r);
    rows[r].Error = errors[r];
    rows[r].StandardError = 0.02;
  }
  EXPECT_EQ(ChooseRow(rows, PruneRule::Min), 1u);
  EXPECT_EQ(ChooseRow(rows, PruneRule::OneSe), 2u);
  rows[3].Error = 0.25;  // an equal least error: the smaller tree
  EXPECT_EQ(ChooseRow(rows, PruneRule::Min), 3u);
  rows[3].Error = 0.40;
  rows[1].StandardError = -1;  // undefined (one fold): no margin
  EXPECT_EQ(ChooseRow(rows, PruneRule::OneSe), 1u);
}

}  // namespace
}  // namespace tarvo
