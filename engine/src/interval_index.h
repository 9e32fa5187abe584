// Finding which of many disjoint intervals holds a value, by binary search over their upper
// bounds: a numeric feature of a large table may split a node into hundreds of intervals.
#pragma once

#include <cstdint>
#include <vector>

namespace tarvo {

// The interval (Lower, Upper]; an open end is an infinity.
struct TIntervalBounds {
  double Lower = 0.0;
  double Upper = 0.0;
};

class TIntervalIndex {
 public:
  TIntervalIndex() = default;
  // Indexes the intervals, numbered by their place in the list. Unless they are disjoint the
  // index stays empty: a value may then lie in more than one of them, and only a scan of the
  // list in order finds the first.
  explicit TIntervalIndex(const std::vector<TIntervalBounds>& intervals);

  bool Empty() const { return numbers_.empty(); }
  // The number of the one interval that may hold x: the one with the lowest upper bound not
  // below x; -1 when x lies above them all. Whether it holds x is the caller's test (its ends
  // may be open or closed).
  int32_t Candidate(double x) const;

 private:
  std::vector<double> uppers_;    // ascending
  std::vector<int32_t> numbers_;  // the interval of each upper bound
};

}  // namespace tarvo
