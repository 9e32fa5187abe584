// The best cut of a feature into two groups of values, the split of a run that grows binary trees
// for pruning to cut back: the feature's value groups are lined up (numbers by value), every place
// between two of them is tried as a cut, its two sides evaluated as branches (grown further while
// the look-ahead lasts) and scored as a partition, and the lowest score is kept, ties to the cut
// whose sides are purer, then to the earlier cut.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "merge_sequence.h"
#include "search_frame.h"

namespace tarvo {

class TBinaryCutSearch {
 public:
  TBinaryCutSearch(TRunState& run, TRecordStore& records, TUnionSearch& below)
      : run_(run), records_(records), below_(below) {}

  // Evaluates the cuts of feature f between the frame's value groups (built at its node, at least
  // three) and leaves the best two-group partition in frame.Best.
  void EvaluateFeature(TSearchFrame& frame, int32_t f);

 private:
  // The figures of the groups on one side of a cut.
  struct TSide {
    int32_t Count = 0;
    double Mean = 0.0;
    double Spread = 0.0;
    TClassCounts ClassCount{};
    void Add(const TGroupRow& row);
  };
  // What one level of the look-ahead keeps while the levels below it run.
  struct TLevel {
    std::vector<int32_t> Order;          // [rank 1..v]: the group in that place of the cut order
    std::vector<double> Key;             // [group]: what nominal groups are ordered by
    std::vector<TSide> Upper;            // [k]: the groups of ranks k..v
    std::vector<int32_t> GroupOfMember;  // [position among the known objects]: its group's rank
  };
  // The order in which the groups are cut: numeric groups by value, nominal ones by their share
  // of the node's majority class (regression: their mean).
  void OrderGroups(const TSearchFrame& frame, TLevel& level) const;
  // Ties of the score go to the cut whose sides are purer.
  double Impurity(const TSide& side) const;
  // The objects of groups first..last, in the order of the node's list, into the frame's scratch.
  void CollectObjects(TSearchFrame& frame, const TLevel& level, int32_t first, int32_t last);
  // The branch of groups first..last with its test and a child holding the side's figures; below
  // the last level the child is grown by the look-ahead unless it stops. Gives its figures.
  TBranchRec* MakeBranch(TSearchFrame& frame, const TLevel& level, int32_t first, int32_t last,
                         const TSide& side, TTreeFigures& grown);

  TRunState& run_;
  TRecordStore& records_;
  TUnionSearch& below_;
  // [depth]; a deque keeps each level where it is while the levels below add theirs.
  std::deque<TLevel> levels_;
};

}  // namespace tarvo
