// The general merge sequence of a feature's value groups: every group and every pair of groups
// that could merge is evaluated as a branch (grown further while the look-ahead lasts), the pairs
// are ranked by the score of the partition after merging them, the best pair merges until two
// groups are left, and the best partition seen on the way is kept. It owns nothing but works on
// the frame of its level: the groups, the pair table, the best partition and the scratch.
#pragma once

#include <cstdint>

#include "search_frame.h"

namespace tarvo {

// The look-ahead's way down: the node search that grows a union's subtree below the frame's level.
class TUnionSearch {
 public:
  // Fills child from objects[0..n-1] and gives it the best split found below level depth.
  virtual TSearchResult SearchUnion(TNodeRec& child, const int32_t* objects, int32_t n,
                                    const TFeatureMask& mask, int32_t depth,
                                    int32_t excludedFeature) = 0;

 protected:
  ~TUnionSearch() = default;
};

class TMergeSequence {
 public:
  TMergeSequence(TRunState& run, TRecordStore& records, TUnionSearch& below)
      : run_(run), records_(records), below_(below) {}

  // Evaluates the frame's groups of feature f (built at its node) and leaves the best partition
  // in frame.Best.Branches with its score and figures.
  void EvaluateFeature(TSearchFrame& frame, int32_t f);

 private:
  // Evaluates the union of live groups a and b (a == b: group a alone) into result.
  void EvaluateBranch(TSearchFrame& frame, int32_t a, int32_t b, TPairSlot& result);
  // The union's objects in the order of the node's list, into the frame's scratch.
  void CollectUnionObjects(TSearchFrame& frame, int32_t a, int32_t b);
  // The union's branch record with its test and an empty child.
  TBranchRec* MakeUnionBranch(const TSearchFrame& frame, int32_t a, int32_t b);
  TPairKey KeyOf(const TSearchFrame& frame, const TPairSlot& slot) const;
  // Puts the pair of groups l < m in slot s, evaluates their union and keys the slot.
  void EvaluatePair(TSearchFrame& frame, int32_t s, int32_t l, int32_t m);
  void EvaluateNumericPair(TSearchFrame& frame, int32_t left);
  void LayOutPairs(TSearchFrame& frame);
  void Run(TSearchFrame& frame);
  int32_t FindBestPair(const TSearchFrame& frame, double& score) const;
  // keepBest: whether the best partition so far stays the best after this merge.
  void MergeGroups(TSearchFrame& frame, int32_t r, int32_t q, const TPairSlot& merged,
                   bool keepBest);
  void UpdateNumericPairs(TSearchFrame& frame, int32_t r, int32_t q);
  void UpdateNominalPairs(TSearchFrame& frame, int32_t r, int32_t q);
  void KeepAsBest(TSearchFrame& frame, double score);
  // Takes group g's branch out of its row: kept while it belongs to the best partition.
  void RetireBranch(TSearchFrame& frame, int32_t g, bool keepBest);
  void CollectBest(TSearchFrame& frame);

  TRunState& run_;
  TRecordStore& records_;
  TUnionSearch& below_;
};

}  // namespace tarvo
