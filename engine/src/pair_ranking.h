// Finds the candidate merge of lowest score among the pair slots of a numeric feature without
// rescoring every slot after every merge.
//
// A slot's score is SplitScore of the partition totals shifted by the slot's own changes: dI in
// leaves, dJ in errors and Delta in weighted dispersion. When the dispersion term is weighted 0,
// the score depends on (dJ, dI) alone, so slots with the same pair share one score. When the error
// term is weighted 0 and the dispersion weight and the root dispersion are positive, the score
// for a fixed dI never increases as Delta grows (subtraction, division by positive numbers and
// the additions are monotone), so the best slot of a dI bucket is the one with the largest Delta;
// rounding can still make neighbours equal, so those are walked while the score stays equal.
// Ties always go to the lowest slot, which for numeric pairs is the leftmost group.
//
// When every slot has the same dI (at the last level of the look-ahead each branch is one leaf)
// and no Delta can be NaN, the slots sit in a tournament tree that keeps the largest Delta of
// every range of slots: the slots whose score equals the leader's are those of the largest
// Deltas, and the lowest of them is found by descending leftmost into ranges that hold one.
// Likewise, when every slot has the same dI and the error weight is positive, the score never
// falls as dJ grows: the buckets are scored from the smallest dJ up while the score stays equal.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace tarvo {

struct TPairKey {
  int32_t DeltaLeaves = 0;
  int32_t DeltaErrors = 0;
  double DeltaDispersion = 0.0;  // count_L x wdisp_L + count_M x wdisp_M - u x d, in that order
};

class TPairRanking {
 public:
  // ByCountsRising: the caller guarantees one dI for every slot and a positive error weight.
  // ByDispersionOneBucket: the caller guarantees one dI for every slot and finite Deltas.
  enum class TMode { ByCounts, ByCountsRising, ByDispersion, ByDispersionOneBucket };

  // slotCount bounds the slot numbers 0..slotCount-1.
  void Reset(TMode mode, int32_t slotCount) {
    mode_ = mode;
    words_ = (slotCount + 63) / 64;
    byCounts_.clear();
    byDispersion_.clear();
    if (mode == TMode::ByDispersionOneBucket) {
      leaves_ = static_cast<int32_t>(std::bit_ceil(static_cast<uint32_t>(slotCount)));
      largest_.assign(2 * static_cast<size_t>(leaves_), kNone);
    }
  }

  void Insert(int32_t slot, const TPairKey& key) {
    if (mode_ == TMode::ByDispersionOneBucket) {
      deltaLeaves_ = key.DeltaLeaves;
      SetLeaf(slot, key.DeltaDispersion);
    } else if (mode_ == TMode::ByCounts || mode_ == TMode::ByCountsRising) {
      TCountBucket& bucket = CountBucket(key);
      bucket.Slots[slot / 64] |= uint64_t{1} << (slot % 64);
      ++bucket.Size;
    } else {
      byDispersion_[key.DeltaLeaves].insert({-key.DeltaDispersion, slot});
    }
  }

  void Remove(int32_t slot, const TPairKey& key) {
    if (mode_ == TMode::ByDispersionOneBucket) {
      SetLeaf(slot, kNone);
    } else if (mode_ == TMode::ByCounts || mode_ == TMode::ByCountsRising) {
      TCountBucket& bucket = CountBucket(key);
      bucket.Slots[slot / 64] &= ~(uint64_t{1} << (slot % 64));
      --bucket.Size;
    } else {
      auto bucket = byDispersion_.find(key.DeltaLeaves);
      bucket->second.erase({-key.DeltaDispersion, slot});
      if (bucket->second.empty()) byDispersion_.erase(bucket);
    }
  }

  // The slot of lowest score(key), ties to the lowest slot; -1 when there is none.
  template <typename ScoreOf>
  int32_t Best(const ScoreOf& scoreOf) const {
    int32_t best = -1;
    double bestScore = 0.0;
    auto consider = [&](int32_t slot, double score) {
      if (best < 0 || score < bestScore || (score == bestScore && slot < best)) {
        best = slot;
        bestScore = score;
      }
    };
    if (mode_ == TMode::ByDispersionOneBucket) return LowestOfLeaders(scoreOf);
    if (mode_ == TMode::ByCountsRising) {
      const int32_t rising = LowestOfRisingBuckets(scoreOf);
      if (rising != kNoScore) return rising;
    }
    if (mode_ == TMode::ByCounts || mode_ == TMode::ByCountsRising) {
      for (const TCountBucket& bucket : byCounts_) {
        if (bucket.Size == 0) continue;
        consider(bucket.FirstSlot(),
                 scoreOf(TPairKey{bucket.DeltaLeaves, bucket.DeltaErrors, 0.0}));
      }
      return best;
    }
    for (const auto& [leaves, slots] : byDispersion_) {
      auto it = slots.begin();
      const double leaderScore = scoreOf(TPairKey{leaves, 0, -it->first});
      int32_t lowest = it->second;
      for (++it; it != slots.end(); ++it) {
        if (scoreOf(TPairKey{leaves, 0, -it->first}) != leaderScore) break;
        if (it->second < lowest) lowest = it->second;
      }
      consider(lowest, leaderScore);
    }
    return best;
  }

 private:
  // The slots that share one change in leaves and errors, as a bit set.
  struct TCountBucket {
    int32_t DeltaLeaves = 0;
    int32_t DeltaErrors = 0;
    int32_t Size = 0;
    std::vector<uint64_t> Slots;
    int32_t FirstSlot() const {
      for (size_t w = 0;; ++w) {
        if (Slots[w]) return static_cast<int32_t>(w * 64 + std::countr_zero(Slots[w]));
      }
    }
  };

  TCountBucket& CountBucket(const TPairKey& key) {
    for (TCountBucket& bucket : byCounts_) {
      if (bucket.DeltaLeaves == key.DeltaLeaves && bucket.DeltaErrors == key.DeltaErrors) {
        return bucket;
      }
    }
    TCountBucket& added = byCounts_.emplace_back();
    added.DeltaLeaves = key.DeltaLeaves;
    added.DeltaErrors = key.DeltaErrors;
    added.Slots.assign(words_, 0);
    return added;
  }

  static constexpr double kNone = -std::numeric_limits<double>::infinity();  // an empty slot

  void SetLeaf(int32_t slot, double delta) {
    size_t i = static_cast<size_t>(leaves_) + slot;
    largest_[i] = delta;
    for (i /= 2; i >= 1; i /= 2) largest_[i] = std::max(largest_[2 * i], largest_[2 * i + 1]);
  }

  // The lowest slot of the buckets that score like the one of smallest dJ, scoring the buckets in
  // rising dJ until one scores worse; kNoScore when the scores are NaN, which order nothing.
  static constexpr int32_t kNoScore = -2;
  template <typename ScoreOf>
  int32_t LowestOfRisingBuckets(const ScoreOf& scoreOf) const {
    int32_t best = -1;
    double leaderScore = 0.0;
    const TCountBucket* previous = nullptr;
    for (;;) {
      const TCountBucket* next = nullptr;
      for (const TCountBucket& bucket : byCounts_) {
        if (bucket.Size == 0) continue;
        if (previous && bucket.DeltaErrors <= previous->DeltaErrors) continue;
        if (!next || bucket.DeltaErrors < next->DeltaErrors) next = &bucket;
      }
      if (!next) return best;
      const double score = scoreOf(TPairKey{next->DeltaLeaves, next->DeltaErrors, 0.0});
      if (!previous) {
        if (score != score) return kNoScore;
        leaderScore = score;
      } else if (score != leaderScore) {
        return best;
      }
      const int32_t slot = next->FirstSlot();
      if (best < 0 || slot < best) best = slot;
      previous = next;
    }
  }

  // The lowest slot whose score equals the score of the largest Delta. Scores never fall as Delta
  // grows, so the Deltas known to score like the leader (at least equalFrom) and those known to
  // score worse (at most worseUpTo) spare most evaluations.
  template <typename ScoreOf>
  int32_t LowestOfLeaders(const ScoreOf& scoreOf) const {
    if (largest_[1] == kNone) return -1;
    const double leaderScore = scoreOf(TPairKey{deltaLeaves_, 0, largest_[1]});
    double equalFrom = largest_[1];
    double worseUpTo = kNone;
    auto scoresLikeLeader = [&](double delta) {
      if (delta >= equalFrom) return true;
      if (delta <= worseUpTo) return false;
      if (scoreOf(TPairKey{deltaLeaves_, 0, delta}) == leaderScore) {
        equalFrom = delta;
        return true;
      }
      worseUpTo = delta;
      return false;
    };
    // The root's range holds a leader; so does one of the two halves of any range that does.
    size_t i = 1;
    while (i < static_cast<size_t>(leaves_)) {
      i = scoresLikeLeader(largest_[2 * i]) ? 2 * i : 2 * i + 1;
    }
    return static_cast<int32_t>(i - leaves_);
  }

  TMode mode_ = TMode::ByCounts;
  int32_t leaves_ = 0;           // leaf count of the tournament tree, a power of two
  int32_t deltaLeaves_ = 0;      // the one dI of ByDispersionOneBucket
  std::vector<double> largest_;  // [1..2 leaves): the largest Delta of each range; leaves last
  int32_t words_ = 0;
  std::vector<TCountBucket> byCounts_;
  std::map<int32_t, std::set<std::pair<double, int32_t>>> byDispersion_;
};

}  // namespace tarvo
