// The working state of a numeric feature's merge sequence at the last level of the look-ahead,
// where every branch is a single leaf: the groups' figures in flat arrays, the candidate pairs by
// what merging them changes, and the merges in the order they were made, from which the best
// partition's records are built only when the node adopts it.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

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

struct TLeafMerge {
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
  TErrorBuckets ByErrors;         // classification: the pair slots by their change in errors
  std::vector<std::pair<int32_t, int32_t>> Merges;  // (kept group, merged group), in order
  double FirstDispersion = 0.0;                     // of the partition into one leaf per value
};

}  // namespace tarvo
