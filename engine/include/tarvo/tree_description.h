// A plain, read-only description of a reported tree, for pictures: nodes, branches, counts and
// the table's names. The engine hands one to a TreeObserver for every tree it writes to the report.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace tarvo {

// One outgoing edge of a node.
struct TreeBranchDescription {
  int32_t Child = 0;  // index of the child in TreeDescription::Nodes
  // An interval branch holds the values x with Low < x <= High; an open end has no bound.
  bool Interval = true;
  double Low = 0.0;
  double High = 0.0;
  bool LowOpen = false;
  bool HighOpen = false;
  // The training values of the feature on either side of each finite bound: the largest at or
  // below it and the smallest above it (NaN where there is none), so that a label can print a
  // bound that keeps them apart.
  double BelowLow = std::numeric_limits<double>::quiet_NaN();
  double AboveLow = std::numeric_limits<double>::quiet_NaN();
  double BelowHigh = std::numeric_limits<double>::quiet_NaN();
  double AboveHigh = std::numeric_limits<double>::quiet_NaN();
  // A value-set branch holds these values, as the table writes them, in the report's order.
  std::vector<std::string> Values;
  // For each of Values, its place (from 1) in the table's list of the feature's values.
  std::vector<int32_t> ValuePlaces;
};

struct TreeNodeDescription {
  int32_t ObjectCount = 0;  // training objects that reached the node
  // Classification: objects per class, entry 0 for class 1; Majority is a 0-based class index.
  std::vector<int32_t> ClassCounts;
  int32_t Majority = 0;
  // Regression: mean and population variance of the predicted value.
  double Mean = 0.0;
  double Dispersion = 0.0;
  int32_t Errors = 0;        // classification: objects outside the majority class; else 0
  bool Homogeneous = false;  // the stop test declared the node homogeneous (a leaf)
  bool Closed = false;       // a leaf that growing gave up on
  int32_t Feature = 0;       // 1-based feature tested here; 0 for a leaf
  std::string FeatureName;   // its name; empty for a leaf
  std::vector<TreeBranchDescription> Branches;  // in the tree's order; empty for a leaf
  bool IsLeaf() const { return Branches.empty(); }
};

struct TreeDescription {
  std::string TableName;   // the table file as the run was given it
  double LookAhead = 0.0;  // the run's RecursiveComplexity
  int32_t Variant = 1;
  bool Classification = true;             // false: a regression tree
  std::string PredictedName;              // the predicted feature
  std::vector<std::string> ClassNames;    // classification: class 1 first
  std::vector<std::string> FeatureNames;  // feature 1 first
  // The root first, then depth-first in branch order: the leaves come in the order of the rules.
  std::vector<TreeNodeDescription> Nodes;
  int32_t LeafCount() const {
    int32_t leaves = 0;
    for (const TreeNodeDescription& node : Nodes) leaves += node.IsLeaf() ? 1 : 0;
    return leaves;
  }
};

// Each feature's share of what the tree's splits gain (entry f - 1 for feature f): at a split, the
// node's objects times its Gini index (regression: its variance) less the same over its branches,
// summed by the feature tested. The shares sum to 1, or are all 0 for a tree without splits.
std::vector<double> FeatureGainShares(const TreeDescription& tree);

// Receives every tree the run writes to its report, right after it is written; called on the
// thread that called RunEngine. The description lives only for the call: copy what you keep.
class TreeObserver {
 public:
  virtual ~TreeObserver() = default;
  virtual void OnTree(const TreeDescription& tree) = 0;
};

}  // namespace tarvo
