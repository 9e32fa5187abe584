// Growing one tree best-first under the leaf budget, each leaf by a series of split searches at
// rising look-ahead depth over a thinning set of features.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "branch_finder.h"
#include "feature_workers.h"
#include "leaf_queue.h"
#include "run_state.h"
#include "split_search.h"

namespace tarvo {

class TTreeGrower {
 public:
  // threads: how many threads evaluate the features of a search (1: the caller's alone).
  TTreeGrower(TRunState& run, int32_t threads);

  // Grows the tree of the Active objects with PredictorMask into the run's pools (Root) and sets
  // LeafCount; shows the running total of leaves found on status panel 1.
  void GrowTree();

  // The pieces, exposed for the tests.
  struct TSubtree {
    TNodeRec* Root = nullptr;  // temporary records; the caller frees them
    int32_t Leaves = 0;
  };
  TSubtree SearchSubtree(int32_t n, int32_t excludedFeature);
  // SearchSubtree, then a binary cut where it left the node unsplit and the run cuts on below it.
  TSubtree SearchOrCut(int32_t n, int32_t excludedFeature);
  bool SelectFeatureSubset(TFeatureMask& mask, int32_t& k);
  void StoreSubtree(const TNodeRec& source, TNodeRec* target);
  bool FindLeafToExpand(TNodePath& path, int32_t& depth);

 private:
  // The Active objects into ObjList, none of them in a leaf yet.
  void CollectObjects();
  // The objects of a leaf of the kept tree into ObjList, in increasing order.
  void CollectLeafObjects(const TNodeRec* leaf);
  // Records the leaf of the kept tree that each object of ObjList reaches from node `from`.
  void RouteObjects(const TNodeRec* from);
  // The size k of the ranked feature subset of the search at lookAhead; false when the series
  // cannot go on (a fraction without a logarithm).
  bool RankedSubsetSize(int64_t lookAhead, int32_t& k) const;
  // Whether the search after the one at LookAhead ranks the features by this one's scores.
  bool NextSearchReadsScores() const;
  void ShowTotal(double total);

  TRunState& run_;
  std::unique_ptr<TFeatureWorkers> workers_;
  TSplitSearch search_;
  // The leaf FindLeafToExpand would choose, from the queue of open leaves (the run's
  // CheckLeafQueue compares the two).
  bool TakeLeafToExpand(TNodePath& path, int32_t& depth, std::vector<int32_t>& order);
  // Queues the open leaves below `from`, reached by path with the branch positions order.
  void AddOpenLeaves(const TNodeRec& from, const TNodePath& path,
                     const std::vector<int32_t>& order);

  // The objects of each leaf of the kept tree, in increasing order, until it is expanded.
  std::unordered_map<const TNodeRec*, std::vector<int32_t>> leafObjects_;
  TLeafQueue leaves_;
  TNodePath walk_;  // FindLeafToExpand's stack, kept between calls
  // Routes objects through the kept tree, whose split nodes do not change while it grows.
  TBranchFinder branches_;
};

}  // namespace tarvo
