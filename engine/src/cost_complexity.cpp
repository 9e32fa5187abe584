// The weakest-link sequence of a grown tree and the subtrees along it.
#include "cost_complexity.h"

#include <algorithm>

namespace tarvo {

TPrunableTree::TPrunableTree(const TNodeRec& root, int32_t classes) : classes_(classes) {
  Copy(root);
  BuildSequence();
}

int32_t TPrunableTree::Copy(const TNodeRec& node) {
  const int32_t number = static_cast<int32_t>(nodes_.size());
  nodes_.emplace_back();
  TNode& copy = nodes_.back();
  copy.Record = node;
  copy.Record.FirstBranch = nullptr;
  copy.Record.Home = nullptr;
  if (classes_ > 0) {
    copy.LeafCost = MajorityClass(node.ClassCount, classes_).Errors;
  } else {
    copy.LeafCost = node.Dispersion > 0 ? node.ObjectCount * node.Dispersion : 0.0;
  }
  for (const TBranchRec* b = node.FirstBranch; b; b = b->Next) {
    TBranchRec test;
    CopyBranchTest(*b, test);
    nodes_[number].Tests.push_back(std::move(test));
    const int32_t child = Copy(*b->Child);
    nodes_[number].Children.push_back(child);
  }
  return number;
}

void TPrunableTree::BuildSequence() {
  const int32_t n = static_cast<int32_t>(nodes_.size());
  std::vector<double> cost(n, 0.0);
  std::vector<int32_t> leaves(n, 1);
  std::vector<char> reached(n, 0);
  double alpha = 0.0;
  for (;;) {
    // Children follow their parent in pre-order: a backward pass sums each subtree, its
    // branches in list order.
    for (int32_t i = n - 1; i >= 0; --i) {
      if (IsLeafNow(i)) {
        cost[i] = nodes_[i].LeafCost;
        leaves[i] = 1;
        continue;
      }
      cost[i] = 0.0;
      leaves[i] = 0;
      for (int32_t child : nodes_[i].Children) {
        cost[i] += cost[child];
        leaves[i] += leaves[child];
      }
    }
    // The weakest link: the inner node that costs least per leaf saved; the earlier node in
    // pre-order wins a tie.
    int32_t weakest = -1;
    double weakestCost = 0.0;
    std::fill(reached.begin(), reached.end(), 0);
    reached[0] = 1;
    for (int32_t i = 0; i < n; ++i) {
      if (!reached[i] || IsLeafNow(i)) continue;
      for (int32_t child : nodes_[i].Children) reached[child] = 1;
      const double g = (nodes_[i].LeafCost - cost[i]) / std::max(leaves[i] - 1, 1);
      if (weakest < 0 || g < weakestCost) {
        weakest = i;
        weakestCost = g;
      }
    }
    if (weakest < 0) break;
    alpha = std::max(alpha, weakestCost);
    nodes_[weakest].CollapseAlpha = alpha;
    sequence_.push_back(TPruningStep{weakest, alpha, leaves[0] - (leaves[weakest] - 1)});
  }
}

int32_t TPrunableTree::LeavesAt(double alpha) const {
  const int32_t n = static_cast<int32_t>(nodes_.size());
  std::vector<char> reached(n, 0);
  reached[0] = 1;
  int32_t count = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (!reached[i]) continue;
    if (IsLeafAt(i, alpha)) {
      ++count;
      continue;
    }
    for (int32_t child : nodes_[i].Children) reached[child] = 1;
  }
  return count;
}

const TNodeRec& TPrunableTree::Answer(const TDataTable& data, int32_t object, double alpha) const {
  int32_t at = 0;
  while (!IsLeafAt(at, alpha)) {
    const TNode& node = nodes_[at];
    const double x = data[node.Record.Feature][object];
    if (!IsKnown(x)) break;
    int32_t taken = -1;
    for (size_t b = 0; b < node.Tests.size() && taken < 0; ++b) {
      if (BranchAccepts(node.Tests[b], x)) taken = node.Children[b];
    }
    if (taken < 0) break;
    at = taken;
  }
  return nodes_[at].Record;
}

}  // namespace tarvo
