// The search of one node with recursive look-ahead: for the node, the feature and the merged value
// groups that make its best split, judged by growing every candidate branch further. The search
// owns its levels' frames and the parts it runs them through: the general merge sequence, the last
// level's sequence, the bounds, the credits and the cache of last-level searches. The merge
// sequence grows a union's subtree through TUnionSearch, which this search is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "binary_cut.h"
#include "credit_order.h"
#include "leaf_merge.h"
#include "merge_sequence.h"
#include "run_state.h"
#include "search_bounds.h"
#include "search_cache.h"
#include "search_credits.h"
#include "search_frame.h"
#include "tree_figures.h"

namespace tarvo {

// What the evaluation of one feature at a node left: its best partition (branches owned here until
// the node takes them or they are freed).
struct TFeatureOutcome {
  int32_t Feature = 0;
  std::vector<TBranchRec*> Best;
  // The best partition scores BestScore, but its branches are not made: a node that takes it
  // splits by Feature with no branch records yet (see MakePendingSplits).
  bool SplitPending = false;
  double BestScore = 0.0;
  TTreeFigures BestTotals;  // of the best partition
};

class TSplitSearch final : public TUnionSearch {
 public:
  // records: where this search takes and returns temporary records.
  TSplitSearch(TRunState& run, TRecordStore& records)
      : run_(run),
        records_(records),
        bounds_(run),
        credits_(run),
        merge_(run, records, *this),
        binary_(run, records, *this),
        leafMerge_(run, records) {}

  // Fills node (allocated by the caller) from objects[0..n-1], n >= 1, and gives it the best
  // split found, with the look-ahead subtrees below. excludedFeature is the feature tested at the
  // node's parent, 0 at the root of a tree. Depth is the caller's level (0 for a tree's search).
  TSearchResult SearchSplit(TNodeRec& node, const int32_t* objects, int32_t n, TFeatureMask mask,
                            int32_t depth, int32_t excludedFeature);
  TSearchResult SearchUnion(TNodeRec& child, const int32_t* objects, int32_t n,
                            const TFeatureMask& mask, int32_t depth,
                            int32_t excludedFeature) override {
    return SearchSplit(child, objects, n, mask, depth, excludedFeature);
  }

  // A tree's search (level 1) with its features evaluated elsewhere, in steps: OpenTopNode fills
  // the node's figures and tells whether its features are to be searched; AdoptTopOutcome then
  // takes the outcome of each feature, in feature order. mask: the one the feature was
  // evaluated with.
  bool OpenTopNode(TNodeRec& node, const int32_t* objects, int32_t n, const TFeatureMask& mask,
                   int32_t excludedFeature, TSearchResult& result);
  void AdoptTopOutcome(TNodeRec& node, TSearchResult& result, TFeatureOutcome& outcome,
                       const TFeatureMask& mask);
  // Evaluates one candidate feature of a top-level search on its own, as job `job` of `order`:
  // mask is the search's mask as it stands when f's turn comes.
  void EvaluateTopFeature(const int32_t* objects, int32_t n, const TFeatureMask& mask,
                          int32_t excludedFeature, int32_t f, TFeatureOutcome& outcome,
                          TCreditOrder& order, size_t job);

 private:
  // SearchSplit without the cache of last-level searches.
  TSearchResult SearchNode(TNodeRec& node, const int32_t* objects, int32_t n,
                           const TFeatureMask& mask, int32_t depth, int32_t excludedFeature);
  TSearchFrame& SetUpFrame(int32_t depth, TNodeRec* node, const int32_t* objects, int32_t n,
                           const TFeatureMask& mask, int32_t excludedFeature);
  // Sets up the frame of level depth + 1 for node, fills the node's own figures and gives result
  // the score of the node as a leaf.
  TSearchFrame& OpenNode(TNodeRec& node, const int32_t* objects, int32_t n,
                         const TFeatureMask& mask, int32_t depth, int32_t excludedFeature,
                         TSearchResult& result);
  // Evaluates the frame's candidate features one after another; the node takes the best.
  void SearchFeatures(TSearchFrame& frame, TSearchResult& result);
  // Groups f's values at the frame's node and tells whether f can split it. countsFirst: only
  // the counts are needed for now (see CountValueGroups) when that is cheaper.
  bool BuildCandidate(TSearchFrame& frame, int32_t f, bool countsFirst = false);
  // The general merge sequence of f (or its best binary cut), with the cache cleared for every
  // top-level feature.
  void EvaluateGeneral(TSearchFrame& frame, int32_t f);
  // Whether a last-level search at this depth may leave the split it finds without records: a
  // nested search whose subtree no credit reads, and not one that makes them. Its node then has
  // the split's Feature and no branches until MakePendingSplits; no such node leaves the search.
  bool DefersRecords(int32_t depth) const;
  // Gives every branch of the outcome whose child splits with no records yet its subtree, by
  // searching the branch's objects again with records made. mask: the one f was evaluated with.
  void MakePendingSplits(TSearchFrame& frame, const TFeatureOutcome& outcome,
                         const TFeatureMask& mask);
  void TakeOutcome(TSearchFrame& frame, TFeatureOutcome& outcome);
  void Adopt(TNodeRec& node, TSearchResult& result, TFeatureOutcome& outcome);
  // Whether the node takes the outcome: a split that scores strictly below the best so far.
  static bool WillAdopt(const TFeatureOutcome& outcome, const TSearchResult& result) {
    return (!outcome.Best.empty() || outcome.SplitPending) && outcome.BestScore < result.Score;
  }
  void ReleaseFeatureState(TSearchFrame& frame);

  TRunState& run_;
  TRecordStore& records_;
  std::vector<std::unique_ptr<TSearchFrame>> frames_;  // [depth], reused by later searches
  TSearchBounds bounds_;
  TSearchCredits credits_;
  TMergeSequence merge_;
  TBinaryCutSearch binary_;  // the features of a run that grows binary trees
  TLeafMergeSequence leafMerge_;
  TSearchCache cache_;          // last-level searches below the top-level feature being evaluated
  bool makingPending_ = false;  // a last-level search runs again to make the records it left
};

}  // namespace tarvo
