// The level record of the search: the pair table keeps its ranking in step with the keys of its
// slots, and merges keep the live list and the chains of the group table in group order.
#include "search_frame.h"

#include <gtest/gtest.h>

namespace tarvo {
namespace {

double ByErrors(const TPairKey& key) {
  return key.DeltaErrors;
}

TEST(PairTableTest, RankingForgetsTheOldKeyOfARekeyedOrEmptiedSlot) {
  TPairTable pairs;
  pairs.StartRanked(5, TPairRanking::TMode::ByCounts);
  pairs.SetKey(1, TPairKey{-1, 2, 0.0});
  pairs.SetKey(3, TPairKey{-1, 0, 0.0});
  EXPECT_EQ(pairs.BestRanked(ByErrors), 3);
  pairs.SetKey(3, TPairKey{-1, 5, 0.0});  // slot 3 takes a worse pair
  EXPECT_EQ(pairs.BestRanked(ByErrors), 1);
  pairs.SetKey(4, TPairKey{-1, 2, 0.0});  // ties go to the lowest slot
  EXPECT_EQ(pairs.BestRanked(ByErrors), 1);
  pairs.Empty(1);
  EXPECT_EQ(pairs.BestRanked(ByErrors), 4);
  pairs.Empty(4);
  pairs.Empty(3);
  EXPECT_EQ(pairs.BestRanked(ByErrors), -1);
  // A table started again ranks nothing of its last use.
  pairs.StartRanked(5, TPairRanking::TMode::ByCounts);
  pairs.SetKey(2, TPairKey{-1, 1, 0.0});
  EXPECT_EQ(pairs.BestRanked(ByErrors), 2);
}

TEST(GroupTableTest, MergesKeepLiveGroupsAndChainsInGroupOrder) {
  TGroupTable groups;
  groups.GroupCount = 4;
  groups.ResetLive();
  groups.Chain(2, 3);
  groups.Unlink(3);
  groups.Chain(1, 2);
  groups.Unlink(2);
  EXPECT_EQ(groups.LiveCount, 2);
  EXPECT_EQ(groups.NextLive[1], 4);
  EXPECT_EQ(groups.PrevLive[4], 1);
  EXPECT_EQ(groups.NextLive[2], 0);
  // Group 1's members are those of groups 1, 2 and 3, in that order.
  EXPECT_EQ(groups.ChainNext[1], 2);
  EXPECT_EQ(groups.ChainNext[2], 3);
  EXPECT_EQ(groups.ChainNext[3], 0);
  EXPECT_EQ(groups.ChainLast[1], 3);
}

}  // namespace
}  // namespace tarvo
