// The top-level search of a tree's node with its candidate features evaluated on a pool of
// threads. Each thread has its own node search and records; the credits reach the run in feature
// order (see TCreditOrder), and the caller's search adopts the outcomes in that order too, so the
// result is the same with any number of threads.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "credit_order.h"
#include "split_search.h"
#include "worker_pool.h"

namespace tarvo {

struct TFeatureJob {
  int32_t Feature = 0;
  TFeatureMask Mask;  // the search's mask as it stands when this feature's turn comes
  TFeatureOutcome Outcome;
};

class TFeatureWorkers {
 public:
  // threads >= 2: the calling thread works too, threads - 1 more are started.
  TFeatureWorkers(TRunState& run, int32_t threads);

  // The search of a tree's node (level 1) as search.SearchSplit makes it: the features on the
  // pool's threads when worth it, else on the caller's by search alone.
  TSearchResult SearchSplit(TSplitSearch& search, TNodeRec& node, const int32_t* objects, int32_t n,
                            const TFeatureMask& mask, int32_t excludedFeature);
  TCreditOrder& Order() { return order_; }
  // Whether the features of a node of n objects are worth handing to other threads.
  bool WorthSharing(int32_t n) const;

 private:
  // Runs every job at a node whose score without a split is nodeScore and returns when all are
  // done.
  void Evaluate(const int32_t* objects, int32_t n, int32_t excludedFeature, double nodeScore);

  const TRunState& run_;
  std::vector<std::unique_ptr<TSplitSearch>> searches_;  // one per thread of the pool
  std::vector<TFeatureJob> jobs_;
  TCreditOrder order_;
  TWorkerPool pool_;
};

}  // namespace tarvo
