// Finding which of many disjoint intervals holds a value, by binary search over their upper
// bounds: a numeric feature of a large table may split a node into hundreds of intervals.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

namespace tarvo {

// The interval (Lower, Upper]; an open end is an infinity.
struct TIntervalBounds {
  double Lower = 0.0;
  double Upper = 0.0;
};

// The bounds of an interval branch (a record or a model's branch), open ends at infinity.
template <typename Branch>
TIntervalBounds BoundsOf(const Branch& b) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  return {b.OpenBelow ? -kInfinity : b.Low, b.OpenAbove ? kInfinity : b.High};
}

// Nodes with at most this many branches are only scanned: below it an index does not pay.
inline constexpr int32_t kScannedBranches = 8;

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
