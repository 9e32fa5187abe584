// The split search of a run that grows binary trees: the best cut of a numeric feature, its ties,
// and look-ahead subtrees whose figures agree with their objects.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "criteria.h"
#include "run_fixture.h"

namespace tarvo {
namespace {

using testing::Branches;
using testing::Classes;
using testing::Objects;
using testing::RunBuilder;
using testing::ThreadedSearch;
using testing::ThreadsName;

std::vector<double> OneToN(int n) {
  std::vector<double> x;
  for (int i = 1; i <= n; ++i) x.push_back(i);
  return x;
}

class BinarySplitsTest : public ::testing::TestWithParam<int32_t> {
 protected:
  struct Searched {
    std::unique_ptr<ThreadedSearch> search;
    TNodeRec node;
    TSearchResult result;
  };
  Searched SearchRoot(TRunState& run, bool binary) {
    run.BinarySplits = binary;
    Searched s;
    s.search = std::make_unique<ThreadedSearch>(run, GetParam());
    const std::vector<int32_t> objects = Objects(1, run.N());
    s.result = s.search->SearchSplit(s.node, objects.data(), run.N(), run.PredictorMask, 0);
    return s;
  }
};

INSTANTIATE_TEST_SUITE_P(Threads, BinarySplitsTest, ::testing::Values(1, 2), ThreadsName);

TEST_P(BinarySplitsTest, NumericFeatureTakesItsBestCutWhereTheSequenceKeepsThreeIntervals) {
  // aaaa bbbbbb aa along x: three pure intervals, or the cut after 4 with the last two a wrong.
  auto run = RunBuilder()
                 .Numeric("x", OneToN(12))
                 .Nominal("cls", {"a", "b"}, Classes("aaaabbbbbbaa"))
                 .Classify(2)
                 .Homogeneity(0)
                 .Build();
  EXPECT_EQ(Branches(SearchRoot(*run, false).node).size(), 3u);
  const Searched s = SearchRoot(*run, true);
  const auto branches = Branches(s.node);
  ASSERT_EQ(branches.size(), 2u);
  EXPECT_EQ(branches[0]->High, 4.5);
  EXPECT_TRUE(branches[0]->OpenBelow);
  EXPECT_TRUE(branches[1]->OpenAbove);
  EXPECT_EQ(s.result.Figures.Errors, 2);
  EXPECT_EQ(s.result.Figures.Leaves, 2);
  EXPECT_EQ(branches[1]->Child->ObjectCount, 8);
  EXPECT_EQ(branches[1]->Child->ClassCount[1], 2);
}

TEST_P(BinarySplitsTest, EqualScoresGoToThePurerCut) {
  // aab abbbb: the cuts after 2 and after 4 leave one error each; after 4 the sides are purer.
  auto run = RunBuilder()
                 .Numeric("x", OneToN(8))
                 .Nominal("cls", {"a", "b"}, Classes("aababbbb"))
                 .Classify(2)
                 .Homogeneity(0)
                 .Build();
  const Searched s = SearchRoot(*run, true);
  const auto branches = Branches(s.node);
  ASSERT_EQ(branches.size(), 2u);
  EXPECT_EQ(branches[0]->High, 4.5);
}

TEST_P(BinarySplitsTest, NominalValuesSplitIntoTwoSetsInTheOrderOfTheirMajorityShare) {
  // Values 1 and 3 hold only a, 2 and 4 only b: a cut of the values ordered by their share of a.
  std::vector<double> value, cls;
  for (int o = 0; o < 20; ++o) {
    value.push_back(o % 5 == 4 ? 1 : 1 + o % 4);
    cls.push_back(static_cast<int>(value.back()) % 2 == 1 ? 1 : 2);
  }
  auto run = RunBuilder()
                 .Nominal("v", {"v1", "v2", "v3", "v4"}, value)
                 .Nominal("cls", {"a", "b"}, cls)
                 .Classify(2)
                 .Homogeneity(0)
                 .Build();
  const Searched s = SearchRoot(*run, true);
  const auto branches = Branches(s.node);
  ASSERT_EQ(branches.size(), 2u);
  EXPECT_EQ(branches[0]->Values, (std::vector<int32_t>{2, 4}));
  EXPECT_EQ(branches[1]->Values, (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(s.result.Figures.Errors, 0);
}

TEST_P(BinarySplitsTest, GiniScoresTakeACutThatPurifiesWithoutChangingTheErrors) {
  // 16 a and 4 b; every cut leaves a the majority on both sides, so no cut saves an error.
  auto build = [] {
    return RunBuilder()
        .Numeric("x", OneToN(20))
        .Nominal("cls", {"a", "b"}, Classes("aaaaaaaaaabaabaabaab"))
        .Classify(2)
        .Homogeneity(0)
        .TargetWeight(2)
        .Build();
  };
  auto errors = build();
  EXPECT_TRUE(Branches(SearchRoot(*errors, true).node).empty());
  auto gini = build();
  gini->ImpurityScores = true;
  const Searched s = SearchRoot(*gini, true);
  const auto branches = Branches(s.node);
  ASSERT_EQ(branches.size(), 2u);
  EXPECT_EQ(branches[0]->High, 10.5);  // the pure side as large as it goes
  EXPECT_EQ(s.result.Figures.Errors, 4);
}

// Every node's objects are the sum of its children's, and each child holds the objects that its
// test accepts among its parent's.
void ExpectConsistent(const TRunState& run, const TNodeRec& node,
                      const std::vector<int32_t>& objects) {
  EXPECT_EQ(node.ObjectCount, static_cast<int32_t>(objects.size()));
  const auto branches = Branches(node);
  if (branches.empty()) return;
  EXPECT_EQ(branches.size(), 2u);
  for (const TBranchRec* b : branches) {
    std::vector<int32_t> inside;
    for (int32_t o : objects) {
      const double x = run.Table.Data[node.Feature][o];
      if (IsKnown(x) && BranchAccepts(*b, x)) inside.push_back(o);
    }
    ExpectConsistent(run, *b->Child, inside);
  }
}

TEST_P(BinarySplitsTest, LookAheadSubtreesHoldTheirBranchesObjects) {
  // Two numbers with many values each and a class that depends on both.
  std::vector<double> x, z, cls;
  for (int o = 0; o < 60; ++o) {
    x.push_back((o * 37) % 23);
    z.push_back((o * 11) % 17);
    cls.push_back(((x.back() > 11) != (z.back() > 8)) || o % 9 == 0 ? 2 : 1);
  }
  auto run = RunBuilder()
                 .Numeric("x", x)
                 .Numeric("z", z)
                 .Nominal("cls", {"a", "b"}, cls)
                 .Classify(3)
                 .Homogeneity(0)
                 .RecursiveComplexity(3.0)
                 .Build();
  const Searched s = SearchRoot(*run, true);
  ASSERT_FALSE(Branches(s.node).empty());
  ExpectConsistent(*run, s.node, Objects(1, 60));
}

}  // namespace
}  // namespace tarvo
