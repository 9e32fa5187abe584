// The shortcuts a search takes (skipping features that cannot win when no later search reads its
// feature scores, settling last-level stop tests late, the lean merge sequence of the last level)
// must return the very subtree and score of the full search, ties included, and a series that
// reads the scores must still get them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "run_fixture.h"
#include "split_search.h"
#include "tree_growing.h"

namespace tarvo {
namespace {

using testing::Objects;
using testing::RunBuilder;
using testing::ThreadedSearch;

// Every field of a subtree that a tree keeps, depth first.
std::string Describe(const TNodeRec& node) {
  char figures[64];
  std::snprintf(figures, sizeof figures, " %a %a", node.Mean, node.Dispersion);
  std::string text = "(" + std::to_string(node.Feature) + " n" + std::to_string(node.ObjectCount) +
                     figures + (node.Terminal ? " T" : "");
  for (const TBranchRec* b = node.FirstBranch; b; b = b->Next) {
    text += " [" + std::to_string(b->Low) + "," + std::to_string(b->High);
    for (int32_t code : b->Values) text += " v" + std::to_string(code);
    text += " " + Describe(*b->Child) + "]";
  }
  return text + ")";
}

// Small tables of few distinct values, so that scores tie often, with a mostly constant column
// that makes some groups unsplittable.
RunBuilder RandomRun(uint32_t seed, bool classify) {
  uint32_t state = seed;
  auto next = [&](uint32_t range) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % range;
  };
  const int n = 14 + static_cast<int>(next(20));
  std::vector<double> x, y, z, g, target;
  for (int o = 0; o < n; ++o) {
    x.push_back(next(4));
    y.push_back(next(12));
    z.push_back(next(8) == 0 ? 1 : 0);
    g.push_back(1 + next(5));
    target.push_back(classify ? 1 + static_cast<int>(x.back() + next(4)) % 3
                              : x.back() * 2 + next(5));
  }
  RunBuilder builder;
  builder.Numeric("x", x).Numeric("y", y).Numeric("z", z).Nominal("g", {"p", "q", "r", "s", "t"},
                                                                  g);
  if (classify) {
    builder.Nominal("cls", {"a", "b", "c"}, target).Classify(5);
  } else {
    builder.Numeric("v", target).Regress(5);
  }
  return builder;
}

TEST(SearchShortcuts, SameSubtreeAndScoreAsTheFullSearch) {
  for (bool classify : {true, false}) {
    for (uint32_t seed = 1; seed <= 30; ++seed) {
      for (double complexity : {1.0, 2.0, 3.0}) {
        std::string described[2];
        double scores[2] = {0, 0};
        for (int shortcuts = 0; shortcuts < 2; ++shortcuts) {
          auto run = RandomRun(seed, classify).RecursiveComplexity(complexity).Build();
          run->ScoresRead = shortcuts == 0;
          run->LeafMergeShortcut = shortcuts == 1;
          ThreadedSearch search(*run, 1 + shortcuts);
          TNodeRec node;
          const std::vector<int32_t> objects = Objects(1, run->N());
          const TSearchResult result =
              search.SearchSplit(node, objects.data(), run->N(), run->PredictorMask, 0);
          scores[shortcuts] = result.Score;
          // The subtree's figures add up its branches' down to the last level.
          char figures[96];
          std::snprintf(figures, sizeof figures, " leaves %d errors %d dispersion %a",
                        result.Figures.Leaves, result.Figures.Errors, result.Figures.Dispersion);
          described[shortcuts] = Describe(node) + figures;
          run->Records.FreeBranchList(node.FirstBranch);
        }
        const std::string where = "seed " + std::to_string(seed) + " RC " +
                                  std::to_string(complexity) + (classify ? " classes" : " values");
        EXPECT_EQ(described[1], described[0]) << where;
        EXPECT_EQ(scores[1], scores[0]) << where;
      }
    }
  }
}

TEST(SearchShortcuts, FractionalSeriesReachesItsRankedSearch) {
  // RC 1.5 over five features ranks two of them for a second search, from the scores of the
  // first: without them the series would end after one search, at look-ahead 2.
  auto run = RandomRun(3, true).RecursiveComplexity(1.5).Build();
  TTreeGrower grower(*run, 1);
  const TTreeGrower::TSubtree kept = grower.SearchSubtree(run->N(), 0);
  EXPECT_EQ(run->LookAhead, 3);
  run->Records.FreeSubtree(kept.Root);
}

}  // namespace
}  // namespace tarvo
