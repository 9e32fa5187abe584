// The merge sequence of a numeric feature at the last level of the look-ahead, where every branch
// is a single leaf: the groups' figures in flat arrays, the candidate pairs by what merging them
// changes, and the merges in the order they were made, from which the best partition's records
// are built only when the node adopts it. It owns that state; it reads and leaves its results in
// the frame of its level.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "pair_ranking.h"
#include "search_frame.h"
#include "tree_records.h"

namespace tarvo {

// Pair slots by their change in errors: one bit set of slots per change, so that the leftmost pair
// of least change is the lowest bit of the lowest set that is not empty.
class TErrorBuckets {
 public:
  // Empties the buckets for slots 0..slotCount-1, clearing only what the last use touched.
  void Reset(int32_t slotCount) {
    std::fill(bits_.begin(), bits_.begin() + static_cast<ptrdiff_t>(used_ * words_), 0);
    std::fill(counts_.begin(), counts_.begin() + used_, 0);
    words_ = (static_cast<size_t>(slotCount) + 63) / 64;
    used_ = 0;
    lowest_ = 0;
  }
  void Insert(int32_t slot, int32_t delta) {
    const auto d = static_cast<size_t>(delta);
    if (d >= used_) {
      used_ = d + 1;
      if (counts_.size() < used_) counts_.resize(used_, 0);
      if (bits_.size() < used_ * words_) bits_.resize(used_ * words_, 0);
    }
    bits_[d * words_ + static_cast<size_t>(slot) / 64] |= uint64_t{1} << (slot % 64);
    ++counts_[d];
    lowest_ = std::min(lowest_, d);
  }
  void Remove(int32_t slot, int32_t delta) {
    const auto d = static_cast<size_t>(delta);
    bits_[d * words_ + static_cast<size_t>(slot) / 64] &= ~(uint64_t{1} << (slot % 64));
    --counts_[d];
  }
  // The lowest slot of the least change, -1 when no slot is held.
  int32_t Best() {
    while (lowest_ < used_ && counts_[lowest_] == 0) ++lowest_;
    if (lowest_ >= used_) return -1;
    const uint64_t* words = &bits_[lowest_ * words_];
    for (size_t w = 0;; ++w) {
      if (words[w]) return static_cast<int32_t>(w * 64 + std::countr_zero(words[w]));
    }
  }

 private:
  std::vector<uint64_t> bits_;   // words_ words per change, for changes 0..used_-1
  std::vector<int32_t> counts_;  // slots held per change
  size_t words_ = 0;
  size_t used_ = 0;    // one past the largest change inserted since Reset
  size_t lowest_ = 0;  // no change below it holds a slot
};

// The figures of the groups and pairs of the sequence, in flat arrays.
struct TLeafGroups {
  // Makes room for groups and pair slots 0..size-1.
  void Resize(size_t size) {
    for (std::vector<int32_t>* numbers :
         {&Count, &Errors, &PureClass, &Next, &Previous, &PairErrors, &PairDeltaErrors}) {
      numbers->resize(size);
    }
    for (std::vector<double>* figures : {&Mean, &Spread, &PairMean, &PairSpread, &PairDelta}) {
      figures->resize(size);
    }
    Classes.resize(size);
  }

  // Per group, numbered as BuildValueGroups numbered them; a merge keeps the earlier number.
  std::vector<int32_t> Count;         // objects in the group
  std::vector<int32_t> Errors;        // outside the group's majority class
  std::vector<int32_t> PureClass;     // the group's one class, 0 when it has several or none
  std::vector<double> Mean;           // of the predicted values
  std::vector<double> Spread;         // their dispersion, which is also the leaf's
  std::vector<TClassCounts> Classes;  // the group's class counts
  std::vector<int32_t> Next;          // the next live group, 0 after the last
  std::vector<int32_t> Previous;      // the previous live group, 0 before the first
  // Pair slot g holds live group g and the next live group.
  std::vector<int32_t> PairErrors;       // of their union
  std::vector<int32_t> PairDeltaErrors;  // the union's errors less the two groups'
  std::vector<double> PairMean;          // the union's mean and dispersion
  std::vector<double> PairSpread;
  std::vector<double> PairDelta;  // regression: what the merge takes off the weighted dispersion
};

// The last level's sequence for a numeric feature: evaluates it as the general sequence would,
// but makes the best partition's records only when it scores below the best split so far, and
// only when asked to. Its state lives here, one per search: the sequence calls nothing back.
class TLeafMergeSequence {
 public:
  TLeafMergeSequence(const TRunState& run, TRecordStore& records) : run_(run), records_(records) {}

  // Evaluates f from the frame's groups into frame.Best: its records are made only when it scores
  // below toBeat, and with deferRecords not even then (frame.Best.Pending tells). False, with
  // nothing made, when the weights or the target values call for the general sequence.
  bool EvaluateFeature(TSearchFrame& frame, int32_t f, double toBeat, bool deferRecords);

 private:
  // How the sequence finds the best pair.
  enum class TRanking { ByErrors, ByDispersionScan, ByDispersionTournament };

  // Whether one more error always scores strictly worse, whatever the partition's totals.
  bool ErrorsOrderScores(const TSearchFrame& frame) const;
  // Whether the dispersion term, weighed by 0, adds exactly 0 to every partition's score: its
  // relative dispersion is a number for every merge.
  bool DispersionTermVanishes(const TSearchFrame& frame) const;
  bool ChooseRanking(const TSearchFrame& frame, TRanking& ranking) const;
  // The initial partition, one leaf per distinct value; returns its score.
  double LayOutGroups(TSearchFrame& frame, TRanking ranking);
  void Run(TSearchFrame& frame, TRanking ranking);
  // Judges the union of live group `left` and the next one and ranks the pair.
  void EvaluatePair(int32_t left, TRanking ranking);
  // The best pair of a regression sequence, found by a scan of the pairs, and its score.
  int32_t LeftmostLeaderPair(const TSearchFrame& frame, double& score) const;
  TPairKey PairKey(int32_t left) const;
  void BuildBest(TSearchFrame& frame);
  // The dispersion of the best partition, which a sequence ranked by errors does not follow.
  double BestDispersion(const TSearchFrame& frame);

  const TRunState& run_;
  TRecordStore& records_;
  TLeafGroups leaf_;
  TErrorBuckets byErrors_;  // classification: the pair slots by their change in errors
  TPairRanking byDelta_;    // regression with many groups: the slots by their Delta
  std::vector<std::pair<int32_t, int32_t>> merges_;  // (kept group, merged group), in order
  double firstDispersion_ = 0.0;                     // of the partition into one leaf per value
};

}  // namespace tarvo
