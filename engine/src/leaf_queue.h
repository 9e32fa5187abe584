// The open leaves of a growing tree, in the order best-first growth expands them, kept up to date
// as leaves are expanded instead of walking the whole tree for every expansion.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "tree_records.h"

namespace tarvo {

class TLeafQueue {
 public:
  void Clear() { leaves_.clear(); }
  // Adds the open leaves below node `from`, which `path` reaches with the branch positions
  // `order` (both empty for the root), with their scores: dispersionWeight x Dispersion +
  // errorWeight x the errors of the majority class.
  void AddLeavesBelow(const TNodeRec& from, const TNodePath& path,
                      const std::vector<int32_t>& order, double dispersionWeight,
                      double errorWeight, int32_t classes);
  // Takes out the leaf of the largest score, the first in depth-first order (branches in list
  // order) among equal scores: the leaf FindLeafToExpand chooses, with its path, depth and
  // branch positions. False when there is none.
  bool TakeBest(TNodePath& path, int32_t& depth, std::vector<int32_t>& order);

 private:
  struct TLeaf {
    double Score = 0.0;
    std::vector<int32_t> Order;  // the branch's position in its list, at every level
    TNodePath Path;
  };
  struct TTakenFirst {
    bool operator()(const TLeaf& a, const TLeaf& b) const {
      if (a.Score != b.Score) return a.Score > b.Score;
      return a.Order < b.Order;
    }
  };
  std::set<TLeaf, TTakenFirst> leaves_;
};

}  // namespace tarvo
