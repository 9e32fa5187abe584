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

#include <cstdint>
#include <map>
#include <set>
#include <utility>

namespace tarvo {

struct TPairKey {
  int32_t DeltaLeaves = 0;
  int32_t DeltaErrors = 0;
  double DeltaDispersion = 0.0;  // count_L x wdisp_L + count_M x wdisp_M - u x d, in that order
};

class TPairRanking {
 public:
  enum class TMode { ByCounts, ByDispersion };

  void Reset(TMode mode) {
    mode_ = mode;
    byCounts_.clear();
    byDispersion_.clear();
  }

  void Insert(int32_t slot, const TPairKey& key) {
    if (mode_ == TMode::ByCounts) {
      byCounts_[{key.DeltaErrors, key.DeltaLeaves}].insert(slot);
    } else {
      byDispersion_[key.DeltaLeaves].insert({-key.DeltaDispersion, slot});
    }
  }

  void Remove(int32_t slot, const TPairKey& key) {
    if (mode_ == TMode::ByCounts) {
      auto bucket = byCounts_.find({key.DeltaErrors, key.DeltaLeaves});
      bucket->second.erase(slot);
      if (bucket->second.empty()) byCounts_.erase(bucket);
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
      for (const auto& [counts, slots] : byCounts_) {
        consider(*slots.begin(), scoreOf(TPairKey{counts.second, counts.first, 0.0}));
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
  TMode mode_ = TMode::ByCounts;
  std::map<std::pair<int32_t, int32_t>, std::set<int32_t>> byCounts_;
  std::map<int32_t, std::set<std::pair<double, int32_t>>> byDispersion_;
};

}  // namespace tarvo
