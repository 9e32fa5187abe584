// Finding the branch of a node that takes a value, in time that grows slowly with the branches:
// a numeric feature of a large table may split a node into hundreds of intervals.
#pragma once

#include <unordered_map>
#include <vector>

#include "interval_index.h"
#include "tree_records.h"

namespace tarvo {

class TBranchFinder {
 public:
  // The branch of node that accepts the known value x, null for none: the one a scan of the
  // branch list in order finds. A node's branches must not change while the finder knows it
  // (Clear forgets every node).
  const TBranchRec* Find(const TNodeRec& node, double x);
  // LeafReached with this finder.
  const TNodeRec* LeafReached(const TDataTable& data, const TNodeRec& from, int32_t object);
  void Clear() { intervals_.clear(); }

 private:
  // The interval branches of a node in list order and their index, when they are disjoint
  // intervals; else empty, and the node's list is scanned.
  struct TIntervals {
    TIntervalIndex Index;
    std::vector<const TBranchRec*> Branches;
  };
  const TIntervals& IntervalsOf(const TNodeRec& node);

  std::unordered_map<const TNodeRec*, TIntervals> intervals_;
};

}  // namespace tarvo
