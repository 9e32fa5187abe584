// TLeafQueue: the open leaves ordered by score, then by their place in the depth-first walk.
#include "leaf_queue.h"

namespace tarvo {

namespace {

// FindLeafToExpand takes only scores above this.
constexpr double kLowestScore = -100000;

}  // namespace

void TLeafQueue::AddLeavesBelow(const TNodeRec& from, const TNodePath& path,
                                const std::vector<int32_t>& order, double dispersionWeight,
                                double errorWeight, int32_t classes) {
  if (!from.FirstBranch) return;
  // Depth first on an explicit stack: a tree of a large table may be deep.
  TNodePath walk = path;
  std::vector<int32_t> positions = order;
  walk.push_back(TPathStep{from.FirstBranch, from.Feature});
  positions.push_back(0);
  const size_t base = path.size();
  while (walk.size() > base) {
    const TNodeRec* node = walk.back().Branch->Child;
    if (node->FirstBranch) {
      walk.push_back(TPathStep{node->FirstBranch, node->Feature});
      positions.push_back(0);
      continue;
    }
    if (node->Feature != -1 && !node->Terminal) {
      const int32_t errors = MajorityClass(node->ClassCount, classes).Errors;
      const double score = dispersionWeight * node->Dispersion + errorWeight * errors;
      if (score > kLowestScore) leaves_.insert(TLeaf{score, positions, walk});
    }
    while (walk.size() > base && !walk.back().Branch->Next) {
      walk.pop_back();
      positions.pop_back();
    }
    if (walk.size() > base) {
      walk.back().Branch = walk.back().Branch->Next;
      ++positions.back();
    }
  }
}

bool TLeafQueue::TakeBest(TNodePath& path, int32_t& depth, std::vector<int32_t>& order) {
  if (leaves_.empty()) return false;
  auto best = leaves_.extract(leaves_.begin());
  path = std::move(best.value().Path);
  order = std::move(best.value().Order);
  depth = static_cast<int32_t>(path.size());
  return true;
}

}  // namespace tarvo
