// The pieces that keep growth near linear on large tables: the leaf queue takes the leaf the
// tree walk takes, the branch finder the branch the list scan takes, and the interval bound
// over many groups never skips a feature the full search would choose.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "branch_finder.h"
#include "run_fixture.h"
#include "split_search.h"
#include "tree_growing.h"

namespace tarvo {
namespace {

using testing::MakeGrower;
using testing::Objects;
using testing::RunBuilder;
using testing::ThreadedSearch;

// n objects with many distinct values: two informative numeric columns, a noisy one and a
// nominal one; the target is a class or a number.
RunBuilder ManyValuesRun(int n, bool classify, uint32_t seed) {
  uint32_t state = seed;
  auto next = [&](uint32_t range) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % range;
  };
  std::vector<double> x, y, noise, g, target;
  for (int o = 0; o < n; ++o) {
    x.push_back(next(100000) / 1000.0);
    y.push_back(next(3000) / 100.0);
    noise.push_back(next(7) == 0 ? MissingCode : next(50000) / 10.0);
    g.push_back(1 + next(4));
    const double signal = (x.back() > 40 ? 2 : 0) + y.back() / 10 + (g.back() == 2 ? 1 : 0);
    target.push_back(classify ? 1 + static_cast<int>(signal + next(3)) % 3 : signal + next(10));
  }
  RunBuilder builder;
  builder.Numeric("x", x).Numeric("y", y).Numeric("noise", noise);
  builder.Nominal("g", {"p", "q", "r", "s"}, g);
  if (classify) {
    builder.Nominal("cls", {"a", "b", "c"}, target).Classify(5);
  } else {
    builder.Numeric("v", target).Regress(5);
  }
  return builder;
}

TEST(LargeGrowth, LeafQueueTakesTheLeafOfTheTreeWalk) {
  for (bool classify : {true, false}) {
    auto run = ManyValuesRun(1500, classify, 7).Build();
    run->CheckLeafQueue = true;  // GrowTree throws when the two differ
    MakeGrower(*run, 1).GrowTree();
    EXPECT_GT(run->LeafCount, 50) << classify;
  }
}

TEST(LargeGrowth, BoundOverManyGroupsSkipsNoFeatureTheFullSearchWouldChoose) {
  // Both kinds of run; 700 objects give the root more groups than the bound looks back over.
  struct Case {
    int n;
    bool classify;
    uint32_t seed;
  };
  for (double complexity : {1.0, 2.0}) {
    for (const Case& c :
         {Case{400, false, 3}, Case{400, false, 11}, Case{700, false, 5}, Case{400, true, 3}}) {
      const uint32_t seed = c.seed;
      double scores[2] = {0, 0};
      int32_t features[2] = {0, 0};
      int32_t leaves[2] = {0, 0};
      for (int shortcuts = 0; shortcuts < 2; ++shortcuts) {
        auto run = ManyValuesRun(c.n, c.classify, seed).RecursiveComplexity(complexity).Build();
        run->ScoresRead = shortcuts == 0;  // the bounds skip features only when no one reads
        ThreadedSearch search(*run, 1);
        TNodeRec node;
        const std::vector<int32_t> objects = Objects(1, run->N());
        const TSearchResult result =
            search.SearchSplit(node, objects.data(), run->N(), run->PredictorMask, 0);
        scores[shortcuts] = result.Score;
        features[shortcuts] = node.Feature;
        leaves[shortcuts] = result.Figures.Leaves;
        run->Records.FreeBranchList(node.FirstBranch);
      }
      EXPECT_EQ(scores[1], scores[0]) << complexity << " " << seed;
      EXPECT_EQ(features[1], features[0]);
      EXPECT_EQ(leaves[1], leaves[0]);
    }
  }
}

// A node of interval branches (Low, High], given in a shuffled list order.
struct IntervalNode {
  std::vector<TBranchRec> branches;
  std::vector<TNodeRec> children;
  TNodeRec node;

  explicit IntervalNode(const std::vector<std::pair<double, double>>& bounds)
      : branches(bounds.size()), children(bounds.size()) {
    for (size_t i = 0; i < bounds.size(); ++i) {
      branches[i].Low = bounds[i].first;
      branches[i].High = bounds[i].second;
      branches[i].OpenBelow = bounds[i].first == -kOpenBound;
      branches[i].OpenAbove = bounds[i].second == kOpenBound;
      branches[i].Child = &children[i];
      if (i + 1 < bounds.size()) branches[i].Next = &branches[i + 1];
    }
    node.FirstBranch = &branches[0];
    node.Feature = 1;
  }
};

const TBranchRec* ScanFor(const TNodeRec& node, double x) {
  for (const TBranchRec* b = node.FirstBranch; b; b = b->Next) {
    if (BranchAccepts(*b, x)) return b;
  }
  return nullptr;
}

TEST(LargeGrowth, BranchFinderTakesTheBranchOfTheScan) {
  std::vector<std::pair<double, double>> disjoint;
  for (int k = 0; k < 40; ++k) disjoint.emplace_back(k, k + 1);
  disjoint.front().first = -kOpenBound;
  disjoint.back().second = kOpenBound;
  std::swap(disjoint[3], disjoint[30]);   // list order need not be value order
  disjoint.erase(disjoint.begin() + 20);  // a gap: (20, 21] belongs to no branch
  // Overlapping intervals keep the scan's choice, the first in list order.
  std::vector<std::pair<double, double>> overlapping = disjoint;
  overlapping.emplace(overlapping.begin() + 10, 5.0, 35.0);
  // Empty intervals that share an upper bound with another, before it in the list and after.
  std::vector<std::pair<double, double>> empty = disjoint;
  empty.emplace(empty.begin() + 2, 7.0, 7.0);
  empty.emplace_back(12.0, 12.0);
  for (const auto& bounds : {disjoint, overlapping, empty}) {
    IntervalNode tree(bounds);
    TBranchFinder finder;
    for (double x = -3; x <= 44; x += 0.25) {
      EXPECT_EQ(finder.Find(tree.node, x), ScanFor(tree.node, x)) << x;
    }
    EXPECT_EQ(finder.Find(tree.node, 1e300), ScanFor(tree.node, 1e300));
  }
}

}  // namespace
}  // namespace tarvo
