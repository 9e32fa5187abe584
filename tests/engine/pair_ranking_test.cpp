// The rankings of last-level slots must choose the slot that the general rankings choose, ties
// and equal rounded scores included.
#include "pair_ranking.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace tarvo {
namespace {

// A score that never rises as Delta grows and that many neighbouring Deltas share, as rounding
// makes them share a real score.
double CoarseScore(const TPairKey& key) {
  return std::floor(-key.DeltaDispersion / 4.0);
}

TEST(PairRankingTest, TournamentChoosesAsTheOrderedRankingDoes) {
  uint32_t state = 12345;
  auto next = [&](uint32_t range) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % range;
  };
  for (int round = 0; round < 200; ++round) {
    const int32_t slots = 1 + static_cast<int32_t>(next(90));
    TPairRanking ordered, tournament;
    ordered.Reset(TPairRanking::TMode::ByDispersion, slots);
    tournament.Reset(TPairRanking::TMode::ByDispersionOneBucket, slots);
    std::vector<bool> present(slots, false);
    std::vector<TPairKey> keys(slots);
    for (int step = 0; step < 300; ++step) {
      const int32_t slot = static_cast<int32_t>(next(slots));
      if (present[slot]) {
        ordered.Remove(slot, keys[slot]);
        tournament.Remove(slot, keys[slot]);
      } else {
        // Few distinct Deltas, negative ones and both zeros among them.
        const double delta = next(7) == 0 ? -0.0 : static_cast<double>(next(40)) - 12.0;
        keys[slot] = TPairKey{-1, 0, delta};
        ordered.Insert(slot, keys[slot]);
        tournament.Insert(slot, keys[slot]);
      }
      present[slot] = !present[slot];
      ASSERT_EQ(tournament.Best(CoarseScore), ordered.Best(CoarseScore))
          << "round " << round << " step " << step;
    }
  }
}

// The same for last-level classification slots: scored bucket by bucket from the smallest change
// in errors up, they must give the slot that scoring every bucket gives, also when no score is a
// number.
TEST(PairRankingTest, RisingBucketsChooseAsScoringEveryBucketDoes) {
  uint32_t state = 777;
  auto next = [&](uint32_t range) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % range;
  };
  auto rising = [](const TPairKey& key) { return std::floor(key.DeltaErrors / 3.0); };
  auto notANumber = [](const TPairKey&) { return std::nan(""); };
  for (int round = 0; round < 200; ++round) {
    const int32_t slots = 1 + static_cast<int32_t>(next(150));
    TPairRanking every, fromBelow;
    every.Reset(TPairRanking::TMode::ByCounts, slots);
    fromBelow.Reset(TPairRanking::TMode::ByCountsRising, slots);
    std::vector<bool> present(slots, false);
    std::vector<TPairKey> keys(slots);
    for (int step = 0; step < 300; ++step) {
      const int32_t slot = static_cast<int32_t>(next(slots));
      if (present[slot]) {
        every.Remove(slot, keys[slot]);
        fromBelow.Remove(slot, keys[slot]);
      } else {
        keys[slot] = TPairKey{-1, static_cast<int32_t>(next(12)) - 2, 0.0};
        every.Insert(slot, keys[slot]);
        fromBelow.Insert(slot, keys[slot]);
      }
      present[slot] = !present[slot];
      ASSERT_EQ(fromBelow.Best(rising), every.Best(rising)) << "round " << round;
      ASSERT_EQ(fromBelow.Best(notANumber), every.Best(notANumber)) << "round " << round;
    }
  }
}

TEST(PairRankingTest, EmptyTournamentHasNoBest) {
  TPairRanking tournament;
  tournament.Reset(TPairRanking::TMode::ByDispersionOneBucket, 5);
  EXPECT_EQ(tournament.Best(CoarseScore), -1);
  tournament.Insert(3, TPairKey{-1, 0, 2.0});
  tournament.Remove(3, TPairKey{-1, 0, 2.0});
  EXPECT_EQ(tournament.Best(CoarseScore), -1);
}

}  // namespace
}  // namespace tarvo
