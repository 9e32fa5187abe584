// TBranchFinder: a scan of the first branches, then a binary search over sorted intervals.
#include "branch_finder.h"

#include <algorithm>
#include <limits>

namespace tarvo {

namespace {

// Nodes with at most this many branches are only scanned.
constexpr int kScannedBranches = 8;

double UpperOf(const TBranchRec& b) {
  return b.OpenAbove ? std::numeric_limits<double>::infinity() : b.High;
}
double LowerOf(const TBranchRec& b) {
  return b.OpenBelow ? -std::numeric_limits<double>::infinity() : b.Low;
}

}  // namespace

const TBranchFinder::TIntervals& TBranchFinder::IntervalsOf(const TNodeRec& node) {
  auto [entry, added] = intervals_.try_emplace(&node);
  TIntervals& intervals = entry->second;
  if (!added) return intervals;
  std::vector<const TBranchRec*> branches;
  for (const TBranchRec* b = node.FirstBranch; b; b = b->Next) {
    if (b->Kind != ftNumeric) return intervals;
    branches.push_back(b);
  }
  std::sort(branches.begin(), branches.end(),
            [](const TBranchRec* a, const TBranchRec* b) { return UpperOf(*a) < UpperOf(*b); });
  // Only disjoint intervals leave one candidate for a value: the first whose upper bound is not
  // below it. Overlapping ones keep the scan, which takes the first in list order.
  for (size_t k = 1; k < branches.size(); ++k) {
    if (!(LowerOf(*branches[k]) >= UpperOf(*branches[k - 1]))) return intervals;
  }
  for (const TBranchRec* b : branches) intervals.Highs.push_back(UpperOf(*b));
  intervals.Branches = std::move(branches);
  return intervals;
}

const TBranchRec* TBranchFinder::Find(const TNodeRec& node, double x) {
  const TBranchRec* b = node.FirstBranch;
  for (int i = 0; b && i < kScannedBranches; ++i, b = b->Next) {
    if (BranchAccepts(*b, x)) return b;
  }
  if (!b) return nullptr;
  const TIntervals& intervals = IntervalsOf(node);
  if (intervals.Branches.empty()) {
    for (; b; b = b->Next) {
      if (BranchAccepts(*b, x)) return b;
    }
    return nullptr;
  }
  const auto at = std::lower_bound(intervals.Highs.begin(), intervals.Highs.end(), x);
  if (at == intervals.Highs.end()) return nullptr;
  const TBranchRec* candidate = intervals.Branches[at - intervals.Highs.begin()];
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
