// The bounds that let a search skip a feature: when no partition by it can score strictly below
// the best split found so far, evaluating it cannot change what the search returns. The bounds own
// the scratch of their interval cuts; they read the frame's groups and change nothing else but the
// node's largest squared value, which they work out once per node.
#pragma once

#include <cstdint>
#include <vector>

#include "search_frame.h"

namespace tarvo {

class TSearchBounds {
 public:
  explicit TSearchBounds(const TRunState& run) : run_(run) {}

  // Whether features that cannot win may be skipped in the search running now.
  bool Hold() const;
  // Whether no partition by f with at least `errors` errors among `known` objects and at least
  // `leaves` leaves can score strictly below toBeat at a node of n objects.
  bool CannotWin(int32_t f, int32_t errors, int32_t known, int32_t n, double toBeat,
                 int32_t leaves = 2) const;
  // Whether no partition of the frame's groups by f, each group a leaf, can score strictly
  // below toBeat.
  bool LeafPartitionsCannotWin(TSearchFrame& frame, int32_t f, double toBeat);

 private:
  // The same for a numeric feature of a classification run, from the best cut of the frame's
  // groups, in runs of one class, into intervals.
  bool IntervalsCannotWin(const TSearchFrame& frame, int32_t f, double toBeat);
  template <int32_t kClassSlots>
  bool IntervalsCannotWinOver(const TSearchFrame& frame, int32_t f, double toBeat);
  // The same for a numeric feature of a regression run, from the best cut of the frame's groups
  // into intervals by their dispersion.
  bool DispersionIntervalsCannotWin(TSearchFrame& frame, int32_t f, double toBeat);

  const TRunState& run_;
  // The class counts of runs of groups (neighbours of one class together) and each run's one
  // class (0 when it has several).
  std::vector<TClassCounts> runs_;
  std::vector<int32_t> runClass_;
  // The best cuts of the items 0..j into one interval and into several.
  std::vector<double> oneInterval_;
  std::vector<double> manyIntervals_;
  // Running sums of the groups' counts, values and squared values.
  std::vector<double> prefixCounts_;
  std::vector<double> prefixSums_;
  std::vector<double> prefixSquares_;
};

}  // namespace tarvo
