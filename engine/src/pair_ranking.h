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
#pragma once

#include <bit>
#include <cstdint>
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
  enum class TMode { ByCounts, ByDispersion };

  // slotCount bounds the slot numbers 0..slotCount-1.
  void Reset(TMode mode, int32_t slotCount) {
    mode_ = mode;
    words_ = (slotCount + 63) / 64;
    byCounts_.clear();
    byDispersion_.clear();
  }

  void Insert(int32_t slot, const TPairKey& key) {
    if (mode_ == TMode::ByCounts) {
      TCountBucket& bucket = CountBucket(key);
      bucket.Slots[slot / 64] |= uint64_t{1} << (slot % 64);
      ++bucket.Size;
    } else {
      byDispersion_[key.DeltaLeaves].insert({-key.DeltaDispersion, slot});
    }
  }

  void Remove(int32_t slot, const TPairKey& key) {
    if (mode_ == TMode::ByCounts) {
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
    if (mode_ == TMode::ByCounts) {
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

  TMode mode_ = TMode::ByCounts;
  int32_t words_ = 0;
  std::vector<TCountBucket> byCounts_;
  std::map<int32_t, std::set<std::pair<double, int32_t>>> byDispersion_;
};

}  // namespace tarvo
