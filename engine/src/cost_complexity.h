// Cost-complexity pruning of a grown tree: the weakest-link sequence of its subtrees, from the
// grown tree down to its root, with the run's own score (errors in a classification tree, the
// weighted dispersion in a regression tree).
#pragma once

#include <cstdint>
#include <vector>

#include "tree_records.h"

namespace tarvo {

// One collapse of the sequence: node (its pre-order number) becomes a leaf at complexity Alpha,
// and the tree then has Leaves leaves. Alpha never decreases along the sequence.
struct TPruningStep {
  int32_t Node = 0;
  double Alpha = 0.0;
  int32_t Leaves = 0;
};

// A grown tree copied out of the records, so that it outlives the pools that the next tree
// overwrites, with the complexity at which each of its inner nodes collapses.
class TPrunableTree {
 public:
  struct TNode {
    TNodeRec Record;                // the node's figures; FirstBranch is not used
    std::vector<TBranchRec> Tests;  // the node's branches in list order (Child, Next unused)
    std::vector<int32_t> Children;  // pre-order number of each branch's child
    double LeafCost = 0.0;          // what the node costs when it answers as a leaf
    double CollapseAlpha = kNever;  // complexity from which it is a leaf
  };
  static constexpr double kNever = 1e300;

  // Copies the tree below root. classes: the run's number of classes (0 in a regression run).
  TPrunableTree(const TNodeRec& root, int32_t classes);

  const std::vector<TNode>& Nodes() const { return nodes_; }
  const std::vector<TPruningStep>& Sequence() const { return sequence_; }
  // What the node costs as a leaf: the objects outside its majority class, or its object count
  // times its dispersion (0 when rounding makes that negative).
  double RootCost() const { return nodes_.front().LeafCost; }

  // Whether the node answers as a leaf in the subtree at complexity alpha.
  bool IsLeafAt(int32_t node, double alpha) const {
    return nodes_[node].Children.empty() || nodes_[node].CollapseAlpha <= alpha;
  }
  int32_t LeavesAt(double alpha) const;
  // The node that answers for an object in the subtree at complexity alpha: the descent stops at
  // a leaf, at an unknown value or at a value that no branch accepts, as the prediction does.
  const TNodeRec& Answer(const TDataTable& data, int32_t object, double alpha) const;

 private:
  int32_t Copy(const TNodeRec& node);
  // While the sequence is built: a leaf of the grown tree, or a node collapsed so far.
  bool IsLeafNow(int32_t node) const {
    return nodes_[node].Children.empty() || nodes_[node].CollapseAlpha < kNever;
  }
  void BuildSequence();

  int32_t classes_ = 0;
  std::vector<TNode> nodes_;  // pre-order; node 0 is the root
  std::vector<TPruningStep> sequence_;
};

}  // namespace tarvo
