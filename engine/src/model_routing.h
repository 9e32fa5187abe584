// What every prediction shares: the node an object reaches in a kept tree, a tree's answer, the
// weights and the combination of the vote, and the test error over known true values. The
// report's prediction and voting sections, the cross-validation and Predict all use these.
#pragma once

#include <cstdint>
#include <vector>

#include "input_table.h"
#include "interval_index.h"
#include "tarvo/model.h"
#include "tree_records.h"

namespace tarvo {

// The tree under root as a model tree, with classes 1..classes in its class counts.
ModelTree ModelTreeOf(const TNodeRec& root, int32_t classes);

// Routes objects through one tree. A node with many interval branches (a numeric feature of a
// large table may split into hundreds) finds its branch by binary search when the intervals are
// disjoint: the one branch that a scan in list order would find.
class TTreeRouter {
 public:
  explicit TTreeRouter(const ModelTree& tree);

  // The node that answers for an object of data (values by column, then by object, 1-based;
  // MissingCode where unknown): a leaf, or the deepest node reached before a value that is
  // unknown or that no branch accepts.
  const ModelNode& NodeReached(const TDataTable& data, int32_t object) const;

 private:
  const ModelBranch* BranchTaken(int32_t node, double x) const;

  const ModelTree& tree_;
  // By node, the index of its branches' intervals; empty where the node's list is scanned.
  std::vector<TIntervalIndex> intervals_;
};

// The largest class count, ties to the lowest class: a class number from 1.
int32_t MajorityOf(const std::vector<int32_t>& classCounts);

// A node's answer: its majority class number, or its mean.
inline double AnswerOf(const ModelNode& node, bool classification) {
  return classification ? MajorityOf(node.ClassCounts) : node.Mean;
}

// The voting weights of trees whose cross-validation errors are given, in tree order.
std::vector<double> VotingWeightsOf(const std::vector<double>& crossValidationErrors,
                                    int32_t folds);

// The voted answer from each tree's answer (in tree order) and weight: the class with the
// highest weight sum (ties to the lower class number), or the weighted sum of the values.
double CombineVotes(bool classification, int32_t classes, const std::vector<double>& weights,
                    const std::vector<double>& answers);

// Adds up the test error of a set of predictions, object by object in their order.
class TestErrorSum {
 public:
  void AddClass(bool wrong) {
    ++known_;
    if (wrong) wrong_ += 1;
  }
  void AddValue(double predicted, double truth);
  TestError Result(bool classification) const;

 private:
  int32_t known_ = 0;
  double wrong_ = 0.0;
  double squaredError_ = 0.0, sum_ = 0.0, sumOfSquares_ = 0.0, first_ = 0.0;
  bool allEqual_ = true;  // tested exactly: sums of equal decimals leave dust
};

}  // namespace tarvo
