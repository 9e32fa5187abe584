// TBranchFinder: a scan of the first branches, then the index of the node's intervals.
#include "branch_finder.h"

namespace tarvo {

const TBranchFinder::TIntervals& TBranchFinder::IntervalsOf(const TNodeRec& node) {
  auto [entry, added] = intervals_.try_emplace(&node);
  TIntervals& intervals = entry->second;
  if (!added) return intervals;
  std::vector<const TBranchRec*> branches;
  std::vector<TIntervalBounds> bounds;
  for (const TBranchRec* b = node.FirstBranch; b; b = b->Next) {
    if (b->Kind != ftNumeric) return intervals;
    branches.push_back(b);
    bounds.push_back(BoundsOf(*b));
  }
  intervals.Index = TIntervalIndex(bounds);
  if (!intervals.Index.Empty()) intervals.Branches = std::move(branches);
  return intervals;
}

const TBranchRec* TBranchFinder::Find(const TNodeRec& node, double x) {
  const TBranchRec* b = node.FirstBranch;
  for (int i = 0; b && i < kScannedBranches; ++i, b = b->Next) {
    if (BranchAccepts(*b, x)) return b;
  }
  if (!b) return nullptr;
  const TIntervals& intervals = IntervalsOf(node);
  if (intervals.Index.Empty()) {
    for (; b; b = b->Next) {
      if (BranchAccepts(*b, x)) return b;
    }
    return nullptr;
  }
  const int32_t k = intervals.Index.Candidate(x);
  if (k < 0) return nullptr;
  const TBranchRec* candidate = intervals.Branches[static_cast<size_t>(k)];
  return BranchAccepts(*candidate, x) ? candidate : nullptr;
}

const TNodeRec* TBranchFinder::LeafReached(const TDataTable& data, const TNodeRec& from,
                                           int32_t object) {
  const TNodeRec* node = &from;
  while (node && node->FirstBranch) {
    const double x = data[node->Feature][object];
    const TBranchRec* b = IsKnown(x) ? Find(*node, x) : nullptr;
    node = b ? b->Child : nullptr;
  }
  return node;
}

}  // namespace tarvo
