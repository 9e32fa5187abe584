// The initial partition of one feature at a node: one group per distinct value, with the
// statistics of the predicted feature in every group.
#pragma once

#include <cstdint>
#include <vector>

#include "run_state.h"
#include "tree_figures.h"

namespace tarvo {

// One group of the current partition, and once evaluated, its branch.
struct TGroupRow {
  int32_t Label = 0;  // numeric: the group's number in value order; nominal: its value code
  int32_t Count = 0;
  double Mean = 0.0;
  double Spread = 0.0;
  TClassCounts ClassCount{};
  // The count of a largest class of the group as built, and that class (the group's one class
  // when it is pure); merges do not keep them.
  int32_t Largest = 0;
  int32_t Majority = 0;
  // The group's one class as built, 0 when it has several (always 0 without classes).
  int32_t PureClass() const { return Count == Largest ? Majority : 0; }
  double Sum = 0.0;  // of the predicted values, for the bounds
  double SumOfSquares = 0.0;
  std::vector<int32_t> Values;   // nominal: the value set, in merge order
  std::vector<int32_t> Members;  // the group's objects, in the order of the node's list
  TBranchRec* Branch = nullptr;  // owned reference, once evaluated; none at the last level
  TTreeFigures Grown;            // of the group's best subtree, once evaluated
};

struct TValueGroups {
  int32_t KnownCount = 0;       // w: the node's objects with a known value of the feature
  int32_t GroupCount = 0;       // v
  std::vector<TGroupRow> Rows;  // groups 1..v at 0..v-1; storage kept between features
  std::vector<double>
      Threshold;                // numeric: [0..v], group g holds Threshold[g-1] < x <= Threshold[g]
  std::vector<int32_t> Labels;  // label of each known object, in list order
  std::vector<int32_t> KnownObjects;
  bool Complete = false;  // every field of every row is filled in (not only the counts)
  // Numeric scratch: the ranks of the node's values and the words of those marks that hold one
  // (both clear between calls), their values, and the group of each rank.
  std::vector<uint64_t> MarkedRanks;
  std::vector<uint64_t> MarkedWords;
  std::vector<double> Distinct;
  std::vector<int32_t> GroupOfRank;

  TGroupRow& Row(int32_t g) { return Rows[g - 1]; }
  const TGroupRow& Row(int32_t g) const { return Rows[g - 1]; }
};

// Groups the values of feature f among objects[0..n-1]. Numeric: ascending distinct values with
// thresholds halfway between neighbours; nominal: value codes in order of first appearance.
void BuildValueGroups(const TRunState& run, const int32_t* objects, int32_t n, int32_t f,
                      TValueGroups& groups);

// Numeric f: the groups of BuildValueGroups with only their counts, class counts and sums,
// which is all a bound needs; Complete stays false.
void CountValueGroups(const TRunState& run, const int32_t* objects, int32_t n, int32_t f,
                      TValueGroups& groups);

// Numeric groups that CountValueGroups made: fills in the rest, as BuildValueGroups would have.
void CompleteValueGroups(const TRunState& run, TValueGroups& groups);

// Whether a feature can split n objects of which `known` have a value: two of those values must
// differ (`differs`), and fewer than half of the objects may lack a value.
inline bool CanSplit(int32_t n, int32_t known, bool differs) {
  return differs && known > 0 && static_cast<double>(n - known) / n < 0.5;
}

// Whether feature f can split objects[0..n-1]: the test of CanSplit, without building groups.
// Nominal values count by their codes.
bool IsCandidateFeature(const TRunState& run, const int32_t* objects, int32_t n, int32_t f);

// Adds one object's predicted value to a group's count, mean and spread.
void AddToGroup(const TRunState& run, TGroupRow& group, int32_t object);

}  // namespace tarvo
