// The split search: scores, tie rules, the merge sequence, look-ahead and the feature scores.
#include "split_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "criteria.h"
#include "run_fixture.h"

namespace tarvo {
namespace {

using testing::Branches;
using testing::Classes;
using testing::Counts;
using testing::kMiss;
using testing::Objects;
using testing::RunBuilder;
using testing::ThreadedSearch;
using testing::ThreadsName;

// n copies of a value.
std::vector<double> Same(int n, double value) {
  return std::vector<double>(n, value);
}

std::vector<double> Join(std::initializer_list<std::vector<double>> parts) {
  std::vector<double> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

struct Searched {
  // The search keeps the records of the subtree that its threads made.
  std::unique_ptr<ThreadedSearch> search;
  TNodeRec node;
  TSearchResult result;
};

// Every case runs with the features of the top-level search evaluated on one thread and on two.
class SplitSearchTest : public ::testing::TestWithParam<int32_t> {
 protected:
  // Runs the search of a tree's root (Depth 0) over every object.
  Searched SearchRoot(TRunState& run, int32_t excluded = 0) {
    Searched s;
    s.search = std::make_unique<ThreadedSearch>(run, GetParam());
    const std::vector<int32_t> objects = Objects(1, run.N());
    s.result = s.search->SearchSplit(s.node, objects.data(), run.N(), run.PredictorMask, excluded);
    return s;
  }
};

INSTANTIATE_TEST_SUITE_P(Threads, SplitSearchTest, ::testing::Values(1, 2), ThreadsName);

void ExpectInterval(const TBranchRec* b, double low, double high) {
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Kind, ftNumeric);
  EXPECT_EQ(b->Low, low);
  EXPECT_EQ(b->High, high);
}

// Twenty objects: x = 1 for objects 1..12 (11 a, 1 b), x = 2 for 13..20 (1 a, 7 b). z is known
// only for objects 1, 2, 13 and 14, where it varies: never a candidate, but it keeps the
// branches of x from being unsplittable.
RunBuilder TwentyObjects() {
  return RunBuilder()
      .Numeric("x", Join({Same(12, 1), Same(8, 2)}))
      .Numeric("z", Join({{1, 2}, Same(10, kMiss), {1, 2}, Same(6, kMiss)}))
      .Nominal("cls", {"a", "b"},
               Classes("aaaaaaaaaaab"
                       "abbbbbbb"));
}

// 8 of 20 outside the majority unsplit (0.45); two leaves with 2 errors in all: 2/20 + 2/20 + 0.1.
TEST_P(SplitSearchTest, WorkedExampleOfTwentyObjectsSplitsIntoTwoLeaves) {
  auto run = TwentyObjects().Classify(3).Build();
  const Searched s = SearchRoot(*run);
  EXPECT_DOUBLE_EQ(s.result.Score, 0.3);
  EXPECT_EQ(s.result.Figures.Errors, 2);
  EXPECT_EQ(s.result.Figures.Leaves, 2);
  EXPECT_EQ(s.node.Feature, 1);
  EXPECT_EQ(s.node.ObjectCount, 20);
  EXPECT_EQ(s.node.ClassCount, Counts({12, 8}));
  EXPECT_FALSE(s.node.Terminal);
  const auto branches = Branches(s.node);
  ASSERT_EQ(branches.size(), 2u);
  ExpectInterval(branches[0], -1e17, 1.5);
  ExpectInterval(branches[1], 1.5, 1e17);
  const TNodeRec& left = *branches[0]->Child;
  const TNodeRec& right = *branches[1]->Child;
  EXPECT_EQ(left.ObjectCount, 12);
  EXPECT_EQ(left.ClassCount, Counts({11, 1}));
  EXPECT_EQ(right.ObjectCount, 8);
  EXPECT_EQ(right.ClassCount, Counts({1, 7}));
  // A branch's error frequency is taken over the node's 20 objects: 1/20 is homogeneous.
  EXPECT_TRUE(left.Terminal);
  EXPECT_TRUE(right.Terminal);
  EXPECT_EQ(left.FirstBranch, nullptr);
  EXPECT_EQ(left.Feature, 0);
}

TEST_P(SplitSearchTest, HomogeneousNodeStaysALeafWithItsNoSplitScore) {
  // One b among 20: 1/20 is not above the homogeneity 0.05, although x would separate it.
  auto run = RunBuilder()
                 .Numeric("x", Join({Same(19, 1), {2}}))
                 .Nominal("cls", {"a", "b"}, Classes(std::string(19, 'a') + "b"))
                 .Classify(2)
                 .Build();
  const Searched s = SearchRoot(*run);
  EXPECT_TRUE(s.node.Terminal);
  EXPECT_DOUBLE_EQ(s.result.Score, 0.1);  // 1/20 + 1 leaf / 20
  EXPECT_EQ(s.result.Figures.Errors, 1);
  EXPECT_EQ(s.result.Figures.Leaves, 1);
  EXPECT_EQ(s.node.FirstBranch, nullptr);
  EXPECT_EQ(s.node.Feature, 0);
  EXPECT_EQ(run->FeatureScoreCount[1], 0.0);  // no feature was tried
}

TEST_P(SplitSearchTest, EarlierFeatureWinsBetweenEqualFeatures) {
  auto run = RunBuilder()
                 .Numeric("x", Join({Same(12, 1), Same(8, 2)}))
                 .Numeric("twin", Join({Same(12, 1), Same(8, 2)}))
                 .Nominal("cls", {"a", "b"},
                          Classes("aaaaaaaaaaab"
                                  "abbbbbbb"))
                 .Classify(3)
                 .Build();
  const Searched s = SearchRoot(*run);
  EXPECT_EQ(s.node.Feature, 1);
  EXPECT_EQ(run->FeatureScore[1], run->FeatureScore[2]);  // both scored the same
}

// Ten objects, 4 outside the majority: unsplit 4/10 + 1/10 = 0.5. Split on x into (5 a, 1 b) and
// (1 a, 3 b): 2/10 + 2/10 + 0.1 = 0.5 as well.
TEST_P(SplitSearchTest, NoSplitWinsOverAnEqualSplit) {
  auto run = RunBuilder()
                 .Numeric("x", Join({Same(6, 1), Same(4, 2)}))
                 .Nominal("cls", {"a", "b"},
                          Classes("aaaaab"
                                  "abbb"))
                 .Classify(2)
                 .Build();
  const Searched s = SearchRoot(*run);
  EXPECT_DOUBLE_EQ(s.result.Score, 0.5);
  EXPECT_EQ(run->FeatureScore[1], s.result.Score);  // x's best partition scores exactly the same
  EXPECT_EQ(s.node.FirstBranch, nullptr);
  EXPECT_EQ(s.node.Feature, 0);
  EXPECT_EQ(s.result.Figures.Leaves, 1);
  EXPECT_EQ(s.result.Figures.Errors, 4);
}

// Ten objects, 5 a and 5 b (unsplit 0.6). Among its known objects x separates the classes
// perfectly, which would score 2/10 + 0.1.
TEST_P(SplitSearchTest, FeatureMissingForHalfTheObjectsIsNotACandidate) {
  const std::vector<double> classes = Classes(
      "aaabbb"
      "aabb");
  auto half = RunBuilder()
                  .Numeric("x", Join({{1, 1, 1, 2, 2}, Same(5, kMiss)}))
                  .Nominal("cls", {"a", "b"}, classes)
                  .Classify(2)
                  .Build();
  const Searched a = SearchRoot(*half);
  EXPECT_EQ(a.node.FirstBranch, nullptr);
  EXPECT_DOUBLE_EQ(a.result.Score, 0.6);
  EXPECT_EQ(half->FeatureScoreCount[1], 0.0);

  auto fewer = RunBuilder()
                   .Numeric("x", Join({{1, 1, 1, 2, 2, 2}, Same(4, kMiss)}))
                   .Nominal("cls", {"a", "b"}, classes)
                   .Classify(2)
                   .Build();
  const Searched b = SearchRoot(*fewer);
  EXPECT_EQ(b.node.Feature, 1);
  EXPECT_DOUBLE_EQ(b.result.Score, 0.3);
  EXPECT_EQ(b.result.Figures.Errors, 0);  // objects with a missing x are in no branch
}

// Objects 1..6 (class a) have x; objects 7..10 (class b) miss it. One group of all known objects
// would score 0/6 + 1/10 + 0.1 = 0.2, but a partition of one group is never a candidate: two
// groups score 0 + 2/10 + 0.1 = 0.3.
TEST_P(SplitSearchTest, MergingStopsAtTwoGroups) {
  for (const std::vector<double>& x :
       {std::vector<double>{1, 1, 1, 2, 2, 2}, std::vector<double>{1, 1, 2, 2, 3, 3}}) {
    auto run = RunBuilder()
                   .Numeric("x", Join({x, Same(4, kMiss)}))
                   .Nominal("cls", {"a", "b"},
                            Classes("aaaaaa"
                                    "bbbb"))
                   .Classify(2)
                   .Build();
    const Searched s = SearchRoot(*run);
    EXPECT_DOUBLE_EQ(s.result.Score, 0.3);
    EXPECT_EQ(s.result.Figures.Leaves, 2);
    const auto branches = Branches(s.node);
    ASSERT_EQ(branches.size(), 2u);
    // Three groups: both merges score the same, the leftmost is taken.
    const double cut = x.back() == 2 ? 1.5 : 2.5;
    ExpectInterval(branches[0], -1e17, cut);
    ExpectInterval(branches[1], cut, 1e17);
  }
}

// 21 objects of three classes: x = 1 (9 a, 1 c), x = 2 (1 b), x = 3 (9 c, 1 a). The three groups
// score 2/21 + 3/21 + 0.1. Merging the b object into either neighbour adds one error and drops
// one leaf: 3/21 + 2/21 + 0.1, exactly the same score, for both pairs.
RunBuilder ThreeClassTies() {
  return RunBuilder()
      .Numeric("x", Join({Same(10, 1), {2}, Same(10, 3)}))
      .Nominal("cls", {"a", "b", "c"},
               Classes("aaaaaaaaac"
                       "b"
                       "ccccccccca"))
      .Classify(2);
}

TEST_P(SplitSearchTest, FewerGroupsWinTiesWithinAFeature) {
  auto run = ThreeClassTies().Build();
  const Searched s = SearchRoot(*run);
  EXPECT_DOUBLE_EQ(s.result.Score, 5.0 / 21 + 0.1);
  EXPECT_EQ(s.result.Figures.Leaves, 2);
  EXPECT_EQ(s.result.Figures.Errors, 3);
  EXPECT_EQ(Branches(s.node).size(), 2u);
}

TEST_P(SplitSearchTest, LeftmostNumericPairWinsTies) {
  auto run = ThreeClassTies().Build();
  const Searched s = SearchRoot(*run);
  const auto branches = Branches(s.node);
  ASSERT_EQ(branches.size(), 2u);
  ExpectInterval(branches[0], -1e17, 2.5);
  ExpectInterval(branches[1], 2.5, 1e17);
  EXPECT_EQ(branches[0]->Child->ClassCount, Counts({9, 1, 1}));
  EXPECT_EQ(branches[1]->Child->ClassCount, Counts({1, 0, 9}));
}

// Class a where x = z, b elsewhere, two objects of each combination. No single feature helps
// (each half keeps 2 a and 2 b: 4/8 + 2/8 + 0.1 = 0.85 against 4/8 + 1/8 unsplit), but with
// look-ahead 2 each half is split on the other feature into pure leaves: 0 + 4/8 + 0.1.
RunBuilder Xor() {
  return RunBuilder()
      .Numeric("x", {1, 1, 1, 1, 2, 2, 2, 2})
      .Numeric("z", {1, 1, 2, 2, 1, 1, 2, 2})
      .Nominal("cls", {"a", "b"}, Classes("aabbbbaa"));
}

TEST_P(SplitSearchTest, LookAheadOneSeesNoGainInXor) {
  auto run = Xor().Classify(3).Build();
  const Searched s = SearchRoot(*run);
  EXPECT_EQ(s.node.FirstBranch, nullptr);
  EXPECT_DOUBLE_EQ(s.result.Score, 0.625);
}

TEST_P(SplitSearchTest, LookAheadTwoGrowsEveryBranchOneLevelFurther) {
  auto run = Xor().Classify(3).RecursiveComplexity(2.0).Build();
  ASSERT_EQ(run->LookAhead, 2);
  const Searched s = SearchRoot(*run);
  EXPECT_DOUBLE_EQ(s.result.Score, 0.6);
  EXPECT_EQ(s.result.Figures.Leaves, 4);
  EXPECT_EQ(s.result.Figures.Errors, 0);
  EXPECT_EQ(s.node.Feature, 1);  // z scores the same, x comes first
  const auto branches = Branches(s.node);
  ASSERT_EQ(branches.size(), 2u);
  for (const TBranchRec* b : branches) {
    const TNodeRec& child = *b->Child;
    EXPECT_EQ(child.Feature, 2);
    EXPECT_EQ(child.ObjectCount, 4);
    EXPECT_FALSE(child.Terminal);
    const auto below = Branches(child);
    ASSERT_EQ(below.size(), 2u);
    ExpectInterval(below[0], -1e17, 1.5);
    ExpectInterval(below[1], 1.5, 1e17);
    for (const TBranchRec* leaf : below) {
      EXPECT_EQ(leaf->Child->FirstBranch, nullptr);
      EXPECT_EQ(leaf->Child->ObjectCount, 2);
      EXPECT_TRUE(leaf->Child->Terminal);
      EXPECT_EQ(MajorityErrors(leaf->Child->ClassCount, 2), 0);
    }
  }
}

// Twelve objects: x = 1 (2 a, z = 1), x = 2 (4 b, z = 2), x = 3 (6 a, z missing). z is known for
// half the objects, so not a candidate at the root. Look-ahead 2:
// - the three groups of x are pure leaves: 0 + 3/12 + 0.1 = 0.35;
// - the union of x = 1 and x = 2 is grown one level with x excluded: it splits on z
//   (0 + 2/6 + 0.1 against 2/6 + 1/6), so merging keeps 3 leaves and 0 errors: 0.35 again,
//   and the partition of fewer groups wins;
// - the union of x = 2 and x = 3 cannot use z (known for 4 of 10): 4/12 + 2/12 + 0.1.
// Had x been allowed at the union's first level, it would have split there on x, before z.
RunBuilder ExcludedAtFirstLevel() {
  return RunBuilder()
      .Numeric("x", Join({Same(2, 1), Same(4, 2), Same(6, 3)}))
      .Numeric("z", Join({Same(2, 1), Same(4, 2), Same(6, kMiss)}))
      .Nominal("cls", {"a", "b"},
               Classes("aa"
                       "bbbb"
                       "aaaaaa"))
      .Classify(3)
      .RecursiveComplexity(2.0);
}

TEST_P(SplitSearchTest, FirstLevelOfABranchAvoidsTheParentsFeature) {
  auto run = ExcludedAtFirstLevel().Build();
  const Searched s = SearchRoot(*run);
  EXPECT_DOUBLE_EQ(s.result.Score, 0.35);
  EXPECT_EQ(s.result.Figures.Leaves, 3);
  EXPECT_EQ(s.result.Figures.Errors, 0);
  EXPECT_EQ(s.node.Feature, 1);
  const auto branches = Branches(s.node);
  ASSERT_EQ(branches.size(), 2u);
  ExpectInterval(branches[0], -1e17, 2.5);
  ExpectInterval(branches[1], 2.5, 1e17);
  const TNodeRec& merged = *branches[0]->Child;
  EXPECT_EQ(merged.Feature, 2);
  EXPECT_EQ(merged.ObjectCount, 6);
  const auto below = Branches(merged);
  ASSERT_EQ(below.size(), 2u);
  ExpectInterval(below[0], -1e17, 1.5);
  ExpectInterval(below[1], 1.5, 1e17);
  EXPECT_EQ(below[0]->Child->ObjectCount, 2);
  EXPECT_EQ(below[1]->Child->ObjectCount, 4);
  const TNodeRec& rest = *branches[1]->Child;
  EXPECT_EQ(rest.FirstBranch, nullptr);
  EXPECT_EQ(rest.ObjectCount, 6);
  EXPECT_TRUE(rest.Terminal);
}

// The same search credits x with its best score 0.35; z gets the 2/6 + 0.1 of the nested search
// at the union, then 0.35 as the feature of a split inside x's best partition. The predicted
// column is never tried.
TEST_P(SplitSearchTest, FeatureScoresCreditNodesBelowWithTheFeaturesScore) {
  auto run = ExcludedAtFirstLevel().Build();
  SearchRoot(*run);
  EXPECT_DOUBLE_EQ(run->FeatureScore[1], 0.35);
  EXPECT_EQ(run->FeatureScoreCount[1], 1.0);
  EXPECT_DOUBLE_EQ(run->FeatureScore[2], (2.0 / 6 + 0.1) + 0.35);
  EXPECT_EQ(run->FeatureScoreCount[2], 2.0);
  EXPECT_EQ(run->FeatureScore[3], 1e17);
  EXPECT_EQ(run->FeatureScoreCount[3], 0.0);
}

// Colour codes first met in the order 3, 1, 2: code 3 and code 2 are class a, code 1 class b.
// Merging the groups of 3 and 2 (0 + 2/12 + 0.1) beats the three groups (3/12 + 0.1).
TEST_P(SplitSearchTest, NominalMergeListsCodesInMergeOrder) {
  auto run = RunBuilder()
                 .Nominal("colour", {"red", "green", "blue"}, {3, 1, 2, 3, 3, 3, 1, 1, 1, 2, 2, 2})
                 .Nominal("cls", {"a", "b"},
                          Classes("aba"
                                  "aaa"
                                  "bbb"
                                  "aaa"))
                 .Classify(2)
                 .Build();
  const Searched s = SearchRoot(*run);
  EXPECT_DOUBLE_EQ(s.result.Score, 2.0 / 12 + 0.1);
  EXPECT_EQ(s.node.Feature, 1);
  const auto branches = Branches(s.node);
  ASSERT_EQ(branches.size(), 2u);
  EXPECT_EQ(branches[0]->Kind, ftNominal);
  EXPECT_EQ(branches[0]->Values, (std::vector<int32_t>{3, 2}));
  EXPECT_EQ(branches[1]->Values, std::vector<int32_t>{1});
  EXPECT_EQ(branches[0]->Child->ClassCount, Counts({8, 0}));
}

// Codes first met in the order 4, 2, 1, 3: groups g1 = 3 a, g2 = 2 b, g3 = 2 b, g4 = 1 c.
// - Four pure groups: 4/8 + 0.1. Merging g2 and g3 (slot 4 of 6) adds no error: 3/8 + 0.1.
// - The slots with g2 or g3 are freed; (g1, g4) stays in slot 3. The new pairs (g1, R) and
//   (R, g4) take the free slots 1 and 2. (R, g4) and (g1, g4) both add one error
//   (1/8 + 2/8 + 0.1, equal to the three groups' score); slot 2 is the lower, so R takes g4.
TEST_P(SplitSearchTest, FreedNominalSlotsAreTakenInAscendingOrder) {
  auto run = RunBuilder()
                 .Nominal("code", {"p", "q", "r", "s"}, {4, 2, 1, 3, 4, 4, 2, 1})
                 .Nominal("cls", {"a", "b", "c"}, Classes("abbcaabb"))
                 .Classify(2)
                 .Build();
  const Searched s = SearchRoot(*run);
  EXPECT_DOUBLE_EQ(s.result.Score, 3.0 / 8 + 0.1);
  EXPECT_EQ(s.result.Figures.Errors, 1);
  const auto branches = Branches(s.node);
  ASSERT_EQ(branches.size(), 2u);
  EXPECT_EQ(branches[0]->Values, std::vector<int32_t>{4});
  EXPECT_EQ(branches[1]->Values, (std::vector<int32_t>{2, 1, 3}));
}

TEST_P(SplitSearchTest, NominalFeatureWithMoreThanTwelveCodesIsSearched) {
  // Thirteen codes, one object each; codes 1..7 are class a, 8..13 class b. Merging equal classes
  // never adds an error, so the sequence ends with one pure group per class.
  std::vector<double> codes;
  std::vector<std::string> texts;
  for (int32_t c = 1; c <= 13; ++c) {
    codes.push_back(c);
    texts.push_back("v" + std::to_string(c));
  }
  auto run = RunBuilder()
                 .Nominal("code", texts, codes)
                 .Nominal("cls", {"a", "b"},
                          Classes("aaaaaaa"
                                  "bbbbbb"))
                 .Classify(2)
                 .Build();
  const Searched s = SearchRoot(*run);
  EXPECT_DOUBLE_EQ(s.result.Score, 2.0 / 13 + 0.1);
  EXPECT_EQ(s.result.Figures.Errors, 0);
  const auto branches = Branches(s.node);
  ASSERT_EQ(branches.size(), 2u);
  std::vector<int32_t> first = branches[0]->Values;
  std::vector<int32_t> second = branches[1]->Values;
  std::sort(first.begin(), first.end());
  std::sort(second.begin(), second.end());
  EXPECT_EQ(first, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(second, (std::vector<int32_t>{8, 9, 10, 11, 12, 13}));
}

// y = 1, 3 where x = 1 and 5, 7 where x = 2: the root's dispersion is (1 + 9 + 25 + 49) / 4 - 16
// = 5; each branch has mean 2 or 6 and dispersion 1, so K = 1 and the split scores
// 1/5 + 2/4 + 0.1 (unsplit 5/5 + 1/4).
RunBuilder FourValues() {
  return RunBuilder().Numeric("x", {1, 1, 2, 2}).Numeric("y", {1, 3, 5, 7}).Regress(2);
}

TEST_P(SplitSearchTest, RegressionScoresDispersionRelativeToTheRoot) {
  auto run = FourValues().Build();
  const Searched s = SearchRoot(*run);
  EXPECT_EQ(run->RootDispersion, 5.0);
  EXPECT_EQ(s.node.Mean, 4.0);
  EXPECT_EQ(s.node.Dispersion, 5.0);
  EXPECT_DOUBLE_EQ(s.result.Score, 0.8);
  EXPECT_EQ(s.result.Figures.Dispersion, 1.0);
  EXPECT_EQ(s.result.Figures.Leaves, 2);
  const auto branches = Branches(s.node);
  ASSERT_EQ(branches.size(), 2u);
  EXPECT_EQ(branches[0]->Child->Mean, 2.0);
  EXPECT_EQ(branches[0]->Child->Dispersion, 1.0);
  EXPECT_EQ(branches[1]->Child->Mean, 6.0);
  // Not homogeneous (index of dispersion 2 x 1 / 6 above the table's 0), but no feature other
  // than x, which is off while its own groups are evaluated, could separate the objects.
  EXPECT_TRUE(branches[1]->Child->Terminal);
}

TEST_P(SplitSearchTest, RootDispersionIsSetOnlyAtATreesRoot) {
  auto run = FourValues().Build();
  run->RootDispersion = 20.0;
  // Below a root (x excluded would forbid the split, so exclude the predicted column instead) the
  // split scores 1/20 + 2/4 + 0.1 = 0.65 against 5/20 + 1/4 = 0.5 unsplit.
  const Searched s = SearchRoot(*run, 2);
  EXPECT_EQ(run->RootDispersion, 20.0);
  EXPECT_DOUBLE_EQ(s.result.Score, 0.5);
  EXPECT_EQ(s.node.FirstBranch, nullptr);
}

void ExpectSameTree(const TNodeRec& a, const TNodeRec& b) {
  EXPECT_EQ(a.Feature, b.Feature);
  EXPECT_EQ(a.ObjectCount, b.ObjectCount);
  EXPECT_EQ(a.ClassCount, b.ClassCount);
  EXPECT_EQ(a.Terminal, b.Terminal);
  const auto ba = Branches(a);
  const auto bb = Branches(b);
  ASSERT_EQ(ba.size(), bb.size());
  for (size_t i = 0; i < ba.size(); ++i) {
    EXPECT_EQ(ba[i]->Kind, bb[i]->Kind);
    EXPECT_EQ(ba[i]->Low, bb[i]->Low);
    EXPECT_EQ(ba[i]->High, bb[i]->High);
    EXPECT_EQ(ba[i]->Values, bb[i]->Values);
    ExpectSameTree(*ba[i]->Child, *bb[i]->Child);
  }
}

// From 24 objects on, the features of a top-level search go to real worker threads: the tree and
// every feature score must still be those of the single-threaded search, also when the credits
// of a feature must wait for its turn after a few (tiny limits) instead of after many, and when
// a weight so large that no partition scores below the missing score leaves nested nodes whose
// features never scored (credited with the nested node's own score).
class SplitSearchThreadsTest : public ::testing::TestWithParam<std::tuple<bool, double>> {};

TEST_P(SplitSearchThreadsTest, TwoThreadsGiveTheTreeAndFeatureScoresOfOne) {
  uint32_t state = 12345;
  auto next = [&state](int range) {
    state = state * 1103515245u + 12345u;
    return static_cast<double>((state >> 16) % range + 1);
  };
  RunBuilder b;
  for (int f = 1; f <= 4; ++f) {
    std::vector<double> x;
    for (int o = 0; o < 60; ++o) x.push_back(next(6));
    b.Numeric("x" + std::to_string(f), x);
  }
  std::vector<double> colour, cls;
  for (int o = 0; o < 60; ++o) colour.push_back(next(4));
  for (int o = 0; o < 60; ++o) cls.push_back(next(3));
  b.Nominal("colour", {"red", "green", "blue", "grey"}, colour)
      .Nominal("cls", {"a", "b", "c"}, cls)
      .Classify(6)
      .RecursiveComplexity(2.0)
      .TargetWeight(std::get<1>(GetParam()));
  auto one = b.Build();
  auto two = b.Build();
  ThreadedSearch searchOne(*one, 1), searchTwo(*two, 2);
  TCreditOrder& order = searchTwo.Workers()->Order();
  const bool tinyLimits = std::get<0>(GetParam());
  if (tinyLimits) order.SetLimits(3, 5);
  const std::vector<int32_t> objects = Objects(1, 60);
  TNodeRec nodeOne, nodeTwo;
  const TSearchResult a = searchOne.SearchSplit(nodeOne, objects.data(), 60, one->PredictorMask, 0);
  const TSearchResult c = searchTwo.SearchSplit(nodeTwo, objects.data(), 60, two->PredictorMask, 0);
  EXPECT_EQ(a.Score, c.Score);
  EXPECT_EQ(a.Figures.Leaves, c.Figures.Leaves);
  EXPECT_EQ(a.Figures.Errors, c.Figures.Errors);
  if (std::get<1>(GetParam()) == 1.0) {
    EXPECT_NE(nodeOne.FirstBranch, nullptr);
  }
  ExpectSameTree(nodeOne, nodeTwo);
  EXPECT_EQ(one->FeatureScore, two->FeatureScore);
  EXPECT_EQ(one->FeatureScoreCount, two->FeatureScoreCount);
  // Each of the two threads adds at most one log to those over the limit.
  if (tinyLimits) {
    EXPECT_LE(order.MostWaiting(), 5u + 2 * 3u);
  }
}

INSTANTIATE_TEST_SUITE_P(CreditLimits, SplitSearchThreadsTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(1.0, 1e20)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) ? "Tiny" : "Default") +
                                  (std::get<1>(info.param) > 1 ? "HugeWeight" : "");
                         });

}  // namespace
}  // namespace tarvo
