// TIntervalIndex: the intervals sorted by upper bound, kept only when they are disjoint.
#include "interval_index.h"

#include <algorithm>
#include <cmath>

namespace tarvo {

TIntervalIndex::TIntervalIndex(const std::vector<TIntervalBounds>& intervals) {
  for (const TIntervalBounds& bounds : intervals) {
    if (std::isnan(bounds.Lower) || std::isnan(bounds.Upper)) return;  // no order to sort by
  }
  std::vector<int32_t> order(intervals.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = static_cast<int32_t>(k);
  std::sort(order.begin(), order.end(),
            [&](int32_t a, int32_t b) { return intervals[a].Upper < intervals[b].Upper; });
  for (size_t k = 1; k < order.size(); ++k) {
    const TIntervalBounds& before = intervals[order[k - 1]];
    const TIntervalBounds& after = intervals[order[k]];
    if (!(after.Lower >= before.Upper)) return;
  }
  for (const int32_t k : order) uppers_.push_back(intervals[k].Upper);
  numbers_ = std::move(order);
}

int32_t TIntervalIndex::Candidate(double x) const {
  const auto at = std::lower_bound(uppers_.begin(), uppers_.end(), x);
  return at == uppers_.end() ? -1 : numbers_[at - uppers_.begin()];
}

}  // namespace tarvo
