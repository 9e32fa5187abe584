// Tree records: the majority class, paths through a tree, and the copy of a subtree into the pools.
#include "tree_records.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "run_fixture.h"
#include "tree_growing.h"

namespace tarvo {
namespace {

using testing::ClassLeaf;
using testing::Counts;
using testing::kMiss;
using testing::MakeGrower;
using testing::RunBuilder;
using testing::TreeBuilder;

TEST(MajorityClassTest, LargestCountWinsAndTiesGoToTheLowerClass) {
  const TMajority a = MajorityClass(Counts({3, 5, 5}), 3);
  EXPECT_EQ(a.Class, 2);
  EXPECT_EQ(a.Errors, 8);
  const TMajority b = MajorityClass(Counts({4, 4}), 2);
  EXPECT_EQ(b.Class, 1);
  EXPECT_EQ(b.Errors, 4);
  // Counts beyond the run's classes are not looked at.
  const TMajority c = MajorityClass(Counts({1, 2, 9}), 2);
  EXPECT_EQ(c.Class, 2);
  EXPECT_EQ(c.Errors, 1);
}

TEST(MajorityClassTest, NoClassesGiveClassOneWithoutErrors) {
  const TMajority m = MajorityClass(Counts({3, 4}), 0);
  EXPECT_EQ(m.Class, 1);
  EXPECT_EQ(m.Errors, 0);
}

class LeafReachedTest : public ::testing::Test {
 protected:
  // x and colour of objects 1..7; the tree: root (x) -> (1 < x <= 3) inner (colour) ->
  // (colour code 3 or 4) leaf.
  LeafReachedTest()
      : run_(RunBuilder()
                 .Numeric("x", {1, 2, 3, 4, kMiss, 2.5, 2})
                 .Nominal("colour", {"red", "green", "blue", "grey"}, {3, 4.9, 3, 3, 3, kMiss, 2})
                 .Numeric("y", {0, 0, 0, 0, 0, 0, 0})
                 .Regress(3)
                 .Build()) {
    interval_.Kind = ftNumeric;
    interval_.Low = 1;
    interval_.High = 3;
    interval_.Child = &inner_;
    valueSet_.Kind = ftNominal;
    valueSet_.Values = {3, 4};
    valueSet_.Child = &leaf_;
    root_.Feature = 1;
    root_.FirstBranch = &interval_;
    inner_.Feature = 2;
    inner_.FirstBranch = &valueSet_;
  }

  const TNodeRec* Reached(int32_t object) const {
    return LeafReached(run_->Table.Data, root_, object);
  }

  std::unique_ptr<TRunState> run_;
  TBranchRec interval_;
  TBranchRec valueSet_;
  TNodeRec root_, inner_, leaf_;
};

TEST_F(LeafReachedTest, ALeafIsReachedByEveryObject) {
  for (int32_t o = 1; o <= 7; ++o) EXPECT_EQ(LeafReached(run_->Table.Data, leaf_, o), &leaf_);
}

TEST_F(LeafReachedTest, IntervalAdmitsItsHighBoundAndRefusesItsLowBound) {
  EXPECT_EQ(Reached(1), nullptr);  // x = Low
  EXPECT_EQ(Reached(3), &leaf_);   // x = High
  EXPECT_EQ(Reached(4), nullptr);
}

TEST_F(LeafReachedTest, ValueSetComparesTheWholePartOfTheValue) {
  EXPECT_EQ(Reached(2), &leaf_);   // 4.9 is code 4
  EXPECT_EQ(Reached(7), nullptr);  // code 2 is not in the set
}

TEST_F(LeafReachedTest, UnknownValueOnThePathReachesNoLeaf) {
  EXPECT_EQ(Reached(5), nullptr);  // x unknown
  EXPECT_EQ(Reached(6), nullptr);  // x passes, colour unknown
}

// A temporary subtree: root (x) -> [A (colour) -> [A1, A2], B].
class StoreSubtreeTest : public ::testing::Test {
 protected:
  StoreSubtreeTest()
      : run_(RunBuilder()
                 .Numeric("x", {1, 2, 3, 4})
                 .Nominal("colour", {"red", "green", "blue"}, {1, 2, 3, 1})
                 .Nominal("cls", {"a", "b"}, {1, 1, 2, 2})
                 .Classify(3)
                 .Build()) {}

  TNodeRec& MakeSource() {
    TreeBuilder source = TreeBuilder::InRecords(*run_);
    TNodeRec& root = source.Root();
    root.ObjectCount = 4;
    root.ClassCount = Counts({2, 2});
    root.Mean = 1.5;
    root.Dispersion = 0.25;
    TNodeRec& a = source.Interval(root, 1, -1e17, 2.5);
    TNodeRec& b = source.Interval(root, 1, 2.5, 1e17);
    a.ObjectCount = 2;
    TNodeRec& a1 = source.ValueSet(a, 2, {1, 3});
    TNodeRec& a2 = source.ValueSet(a, 2, {2});
    ClassLeaf(a1, {1, 0}, true);
    ClassLeaf(a2, {1, 0}, false);
    a2.Feature = -1;
    ClassLeaf(b, {0, 2}, true);
    b.Mean = 7.5;
    return root;
  }

  TNodeRec* Node(int32_t k) { return &run_->Tree.NodePool[k - 1]; }
  TBranchRec* Branch(int32_t k) { return &run_->Tree.BranchPool[k - 1]; }

  std::unique_ptr<TRunState> run_;
};

TEST_F(StoreSubtreeTest, CopyIsAPreOrderWalkIntoThePools) {
  TNodeRec& source = MakeSource();
  TTreeGrower grower = MakeGrower(*run_);
  grower.StoreSubtree(source, run_->Root());
  run_->Records.FreeSubtree(&source);

  // Nodes: root 1, A 2, A1 3, A2 4, B 5. Branches: root->A 1, A->A1 2, A->A2 3, root->B 4.
  EXPECT_EQ(run_->Tree.NodesUsed, 5);
  EXPECT_EQ(run_->Tree.BranchesUsed, 4);
  EXPECT_EQ(run_->Root(), Node(1));
  EXPECT_EQ(Node(1)->FirstBranch, Branch(1));
  EXPECT_EQ(Branch(1)->Child, Node(2));
  EXPECT_EQ(Branch(1)->Next, Branch(4));
  EXPECT_EQ(Node(2)->FirstBranch, Branch(2));
  EXPECT_EQ(Branch(2)->Child, Node(3));
  EXPECT_EQ(Branch(2)->Next, Branch(3));
  EXPECT_EQ(Branch(3)->Child, Node(4));
  EXPECT_EQ(Branch(3)->Next, nullptr);
  EXPECT_EQ(Branch(4)->Child, Node(5));
  EXPECT_EQ(Branch(4)->Next, nullptr);

  // Every field travels with its record.
  EXPECT_EQ(Node(1)->Feature, 1);
  EXPECT_EQ(Node(1)->ObjectCount, 4);
  EXPECT_EQ(Node(1)->ClassCount, Counts({2, 2}));
  EXPECT_EQ(Node(1)->Mean, 1.5);
  EXPECT_EQ(Node(1)->Dispersion, 0.25);
  EXPECT_EQ(Branch(1)->Kind, ftNumeric);
  EXPECT_EQ(Branch(1)->Low, -1e17);
  EXPECT_EQ(Branch(1)->High, 2.5);
  EXPECT_EQ(Branch(4)->Low, 2.5);
  EXPECT_EQ(Branch(4)->High, 1e17);
  EXPECT_EQ(Node(2)->Feature, 2);
  EXPECT_EQ(Node(2)->ObjectCount, 2);
  EXPECT_EQ(Branch(2)->Kind, ftNominal);
  EXPECT_EQ(Branch(2)->Values, (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(Branch(3)->Values, std::vector<int32_t>{2});
  EXPECT_TRUE(Node(3)->Terminal);
  EXPECT_EQ(Node(3)->FirstBranch, nullptr);
  EXPECT_FALSE(Node(4)->Terminal);
  EXPECT_EQ(Node(4)->Feature, -1);
  EXPECT_EQ(Node(5)->ClassCount, Counts({0, 2}));
  EXPECT_EQ(Node(5)->Mean, 7.5);
}

TEST_F(StoreSubtreeTest, GrownLeafKeepsItsRecordAndItsChildrenFollowTheUsedOnes) {
  TNodeRec& source = MakeSource();
  TTreeGrower grower = MakeGrower(*run_);
  grower.StoreSubtree(source, run_->Root());
  run_->Records.FreeSubtree(&source);

  TreeBuilder more = TreeBuilder::InRecords(*run_);
  TNodeRec& sub = more.Root();
  ClassLeaf(more.ValueSet(sub, 2, {1}), {0, 1}, true);
  ClassLeaf(more.ValueSet(sub, 2, {2, 3}), {0, 1}, true);
  grower.StoreSubtree(sub, Node(5));  // leaf B becomes the subtree's root
  run_->Records.FreeSubtree(&sub);

  // Storing counts B's own record as used (6), so its children take records 7 and 8.
  EXPECT_EQ(run_->Tree.NodesUsed, 8);
  EXPECT_EQ(run_->Tree.BranchesUsed, 6);
  EXPECT_EQ(Branch(4)->Child, Node(5));
  EXPECT_EQ(Node(5)->Feature, 2);
  EXPECT_EQ(Node(5)->FirstBranch, Branch(5));
  EXPECT_EQ(Branch(5)->Child, Node(7));
  EXPECT_EQ(Branch(5)->Next, Branch(6));
  EXPECT_EQ(Branch(6)->Child, Node(8));
  EXPECT_EQ(Branch(6)->Values, (std::vector<int32_t>{2, 3}));
}

TEST(StoreSubtreePoolsTest, PoolsGrowBeyondTwiceTheObjectsPlusOne) {
  // One object: pools of 3 nodes and 2 branches; the subtree needs 4 nodes and 3 branches.
  auto run = RunBuilder()
                 .Nominal("colour", {"red", "green", "blue"}, {1})
                 .Nominal("cls", {"a", "b"}, {1})
                 .Classify(2)
                 .Build();
  ASSERT_EQ(run->Tree.NodePool.size(), 3u);
  ASSERT_EQ(run->Tree.BranchPool.size(), 2u);
  TreeBuilder source = TreeBuilder::InRecords(*run);
  TNodeRec& root = source.Root();
  for (int32_t code = 1; code <= 3; ++code)
    ClassLeaf(source.ValueSet(root, 1, {code}), {code, 0}, true);

  TTreeGrower grower = MakeGrower(*run);
  grower.StoreSubtree(root, run->Root());
  run->Records.FreeSubtree(&root);

  EXPECT_EQ(run->Tree.NodesUsed, 4);
  EXPECT_EQ(run->Tree.BranchesUsed, 3);
  EXPECT_GE(run->Tree.NodePool.size(), 4u);
  EXPECT_GE(run->Tree.BranchPool.size(), 3u);
  int32_t code = 0;
  for (const TBranchRec* b = run->Root()->FirstBranch; b; b = b->Next) {
    ++code;
    EXPECT_EQ(b->Values, std::vector<int32_t>{code});
    EXPECT_EQ(b->Child->ClassCount[1], code);
  }
  EXPECT_EQ(code, 3);
}

}  // namespace
}  // namespace tarvo
