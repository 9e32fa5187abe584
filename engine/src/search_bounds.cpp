// The bounds that let a search skip a feature: when no partition by it can score strictly below
// the best split found so far, evaluating it cannot change what the search returns.
#include <algorithm>
#include <cmath>
#include <limits>

#include "criteria.h"
#include "split_search.h"

namespace tarvo {

bool TSplitSearch::BoundsHold() const {
  // Every term of a split's score is then at least its value for no dispersion, no errors and
  // two leaves; a skipped feature leaves no scores behind, so none may be read later.
  const TTargetDescription& target = run_.Target;
  return !run_.ScoresRead && target.DispersionWeight >= 0 && target.ErrorWeight >= 0 &&
         run_.LeafWeight >= 0 && run_.CostWeight >= 0 && run_.RootDispersion >= 0;
}

bool TSplitSearch::CannotWin(int32_t f, int32_t errors, int32_t known, int32_t n, double toBeat,
                             int32_t leaves) const {
  // The lowest score any partition by f can have: at least `leaves` leaves, at least `errors`
  // errors among its known objects, no dispersion. Each term and each sum rounds monotonically,
  // so a real score is never below it; a tie does not win either.
  const double lowest =
      SplitScore(run_, leaves, run_.FeatureCost[f], 0.0, static_cast<double>(errors) / known, n);
  return lowest >= toBeat;
}

bool TSplitSearch::LeafPartitionsCannotWin(TFrame& frame, int32_t f, double toBeat) {
  // Merging groups never lowers the errors of their majority classes, so a leaf partition has
  // at least the errors of the one group per value (finest).
  // A numeric partition into k groups cuts the value order into k intervals. Lay the objects
  // out in value order, each group's objects arranged so that neighbours differ in class as
  // often as its counts allow: an interval with m class changes inside has at least m/2 errors
  // (each change has an object outside the majority on one side, and each object is beside at
  // most two changes), and the k - 1 cuts remove at most k - 1 of the M changes of the layout.
  // So k groups have at least ceil((M - k + 1) / 2) errors.
  const TValueGroups& groups = frame.Groups;
  const int32_t classes = run_.C();
  // f's own type: the frame's Kind is set only once f is evaluated.
  const bool numeric = run_.Table.FeatureType[f] == ftNumeric;
  int32_t finest = 0;
  int32_t changes = 0;
  int32_t previousPure = 0;  // the class of the previous group when it is pure
  for (int32_t g = 1; g <= groups.GroupCount; ++g) {
    const TGroupRow& row = groups.Row(g);
    const int32_t errors = classes > 0 ? row.Count - row.Largest : 0;
    finest += errors;
    if (!numeric || classes <= 0) continue;
    // Alternating the majority with the others gives 2 x errors changes, at most count - 1.
    changes += std::min(row.Count - 1, 2 * errors);
    const int32_t pure = row.PureClass();
    if (pure && previousPure && pure != previousPure) ++changes;
    previousPure = pure;
  }
  for (int32_t k = 2; k <= std::max(2, groups.GroupCount); ++k) {
    const int32_t errors = std::max(finest, changes >= k - 1 ? (changes - k + 2) / 2 : 0);
    if (!CannotWin(f, errors, groups.KnownCount, frame.N, toBeat, k)) {
      if (!numeric) return false;
      return classes > 0 ? IntervalsCannotWin(frame, f, toBeat)
                         : DispersionIntervalsCannotWin(frame, f, toBeat);
    }
    if (errors == finest) break;  // more groups only add leaves
  }
  return true;
}

bool TSplitSearch::IntervalsCannotWin(TFrame& frame, int32_t f, double toBeat) {
  // The groups in runs: neighbouring groups of one class make one run, as a cut between them
  // never pays.
  const TValueGroups& groups = frame.Groups;
  const int32_t classes = run_.C();
  frame.Runs.clear();
  frame.RunClass.clear();
  int32_t previousPure = 0;
  for (int32_t g = 1; g <= groups.GroupCount; ++g) {
    const TGroupRow& row = groups.Row(g);
    const int32_t pure = row.PureClass();
    if (pure && pure == previousPure) {
      AddClassCounts(frame.Runs.back(), row.ClassCount, classes);
    } else {
      frame.Runs.push_back(row.ClassCount);
      frame.RunClass.push_back(pure);
    }
    previousPure = pure;
  }
  // The class loops run over a fixed number of slots, the fewest that hold the run's classes.
  if (classes <= 4) return IntervalsCannotWinOver<4>(frame, f, toBeat);
  if (classes <= 8) return IntervalsCannotWinOver<8>(frame, f, toBeat);
  return IntervalsCannotWinOver<kMaxClasses>(frame, f, toBeat);
}

template <int32_t kClassSlots>
bool TSplitSearch::IntervalsCannotWinOver(TFrame& frame, int32_t f, double toBeat) {
  // A leaf partition into k groups with J errors scores at least perError x (J + perLeaf /
  // perError x k) plus the cost term. A cut inside a run can always move to the run's edge
  // without adding errors, so the least J + lambda k over the cuts of the runs into intervals
  // (counting one interval as two groups, the fewest a partition has) bounds every partition
  // of the groups. Too many runs would cost more than the merges.
  constexpr int32_t kMostRuns = 64;
  const int32_t runs = static_cast<int32_t>(frame.Runs.size());
  const double perError = run_.Target.ErrorWeight / frame.Groups.KnownCount;
  const double perLeaf = run_.LeafWeight / frame.N;
  if (runs > kMostRuns || !(perError > 0)) return false;
  const double lambda = perLeaf / perError;
  // one[j], many[j]: the least errors plus lambda per interval of runs 0..j cut into one
  // interval, and into two or more.
  std::vector<double>& one = frame.OneInterval;
  std::vector<double>& many = frame.ManyIntervals;
  one.resize(runs);
  many.resize(runs);
  // Counts only grow as runs are added, so the largest count follows the added runs.
  auto add = [&](const TClassCounts& runCounts, int32_t r, TClassCounts& into, int32_t& total,
                 int32_t& largest) {
    if (const int32_t pure = frame.RunClass[r]) {
      into[pure] += runCounts[pure];
      total += runCounts[pure];
      largest = std::max(largest, into[pure]);
      return;
    }
    for (int32_t c = 1; c <= kClassSlots; ++c) {
      into[c] += runCounts[c];
      total += runCounts[c];
      largest = std::max(largest, into[c]);
    }
  };
  // The class counts of all runs: less those of runs 0..j, they give the errors of the rest as
  // one interval, and a cut of runs 0..j followed by that interval bounds the least from above.
  TClassCounts all{};
  for (const TClassCounts& runCounts : frame.Runs) AddClassCounts(all, runCounts, kClassSlots);
  auto restErrors = [&](const TClassCounts& prefixCounts) {
    int32_t total = 0, largest = 0;
    for (int32_t c = 1; c <= kClassSlots; ++c) {
      const int32_t count = all[c] - prefixCounts[c];
      total += count;
      largest = std::max(largest, count);
    }
    return total - largest;
  };
  const double costTerm = run_.CostWeight * run_.FeatureCost[f];
  // The bound and the real scores round differently: a relative margin far above their
  // rounding keeps the skip safe.
  auto cannotWin = [&](double least) {
    const double lowest = perError * least + costTerm;
    const double margin = 1e-9 * (std::fabs(lowest) + std::fabs(toBeat));
    return lowest - margin >= toBeat;
  };
  TClassCounts prefix{};
  int32_t prefixTotal = 0, prefixLargest = 0;
  for (int32_t j = 0; j < runs; ++j) {
    add(frame.Runs[j], j, prefix, prefixTotal, prefixLargest);
    one[j] = (prefixTotal - prefixLargest) + lambda;
    // The last interval is runs i..j. Its errors only grow as i falls, and what comes before
    // it costs nothing less than 0: once the last interval alone costs the best, no earlier i
    // can do better.
    TClassCounts counts{};
    int32_t total = 0, largest = 0;
    double best = std::numeric_limits<double>::infinity();
    for (int32_t i = j; i >= 1; --i) {
      add(frame.Runs[i], i, counts, total, largest);
      const double last = (total - largest) + lambda;
      if (last >= best) break;
      best = std::min(best, std::min(one[i - 1], many[i - 1]) + last);
    }
    many[j] = best;
    if (j + 1 == runs) break;
    // Runs 0..j cut as found and the rest as one interval make a partition: when it can win,
    // the feature must be evaluated. Any partition of all runs, cut back to runs 0..j, costs at
    // least the best cut of those: when even that cannot win, nothing can.
    if (!cannotWin(std::min(one[j], many[j]) + restErrors(prefix) + lambda)) return false;
    if (cannotWin(std::min(one[j] + lambda, many[j]))) return true;
  }
  return cannotWin(std::min(one[runs - 1] + lambda, many[runs - 1]));
}

bool TSplitSearch::DispersionIntervalsCannotWin(TFrame& frame, int32_t f, double toBeat) {
  // A leaf partition of a numeric feature scores at least its within dispersion term plus a
  // leaf's worth per group. The least of that sum over the cuts of the groups into two or more
  // intervals bounds every partition of the merge sequence.
  const TValueGroups& groups = frame.Groups;
  const int32_t v = groups.GroupCount;
  const double root = run_.RootDispersion;
  const double weight = run_.Target.DispersionWeight;
  if (!(root > 0) || v < 2) return false;
  const double perSquares = weight / (root * groups.KnownCount);  // per squared deviation
  const double perLeaf = run_.LeafWeight / frame.N;
  std::vector<double>& one = frame.OneInterval;
  std::vector<double>& many = frame.ManyIntervals;
  one.resize(v);
  many.resize(v);
  // Running sums over groups 0..j of the counts, the values and the squared values, from which
  // the squared deviations of any interval follow.
  std::vector<double>& counts = frame.PrefixCounts;
  std::vector<double>& sums = frame.PrefixSums;
  std::vector<double>& squares = frame.PrefixSquares;
  counts.resize(v + 1);
  sums.resize(v + 1);
  squares.resize(v + 1);
  counts[0] = sums[0] = squares[0] = 0.0;
  for (int32_t g = 1; g <= v; ++g) {
    const TGroupRow& row = groups.Row(g);
    counts[g] = counts[g - 1] + row.Count;
    sums[g] = sums[g - 1] + row.Sum;
    squares[g] = squares[g - 1] + row.SumOfSquares;
  }
  // The squared deviations of groups i+1..j+1; rounding may leave a hair below 0.
  auto deviations = [&](int32_t i, int32_t j) {
    const double sum = sums[j + 1] - sums[i];
    return std::max(0.0, squares[j + 1] - squares[i] - sum * sum / (counts[j + 1] - counts[i]));
  };
  const double costTerm = run_.CostWeight * run_.FeatureCost[f];
  // The running sums here and the pooled dispersions of the merges round differently, and the
  // early stops below trust rounded deviations to grow: both errors stay below a few hundred
  // roundings of the largest squared value, far inside this margin.
  // The largest squared value is taken over all of the node's objects, once per node, when
  // first needed: a larger one only widens the margin.
  double& largestSquare = frame.LargestSquare;
  auto cannotWin = [&](double least) {
    const double lowest = least + costTerm;
    const double relative = 1e-9 * (std::fabs(lowest) + std::fabs(toBeat));
    if (lowest - relative < toBeat) return false;
    if (largestSquare < 0) {
      largestSquare = 0.0;
      for (int32_t i = 0; i < frame.N; ++i) {
        const double y = run_.TargetValue[frame.Objects[i]];
        largestSquare = std::max(largestSquare, y * y);
      }
    }
    return lowest - (relative + 1e-10 * weight * largestSquare / root) >= toBeat;
  };
  // Over thousands of groups the last interval may reach far back before its cost passes the
  // best; after kMostSteps starts the rest are bounded below together, which keeps the work
  // linear in the groups and the value a lower bound (it only makes the test weaker).
  constexpr int32_t kMostSteps = 64;
  for (int32_t j = 0; j < v; ++j) {
    one[j] = perSquares * deviations(0, j) + perLeaf;
    // The last interval is groups i..j; its squared deviations only grow as i falls.
    double best = std::numeric_limits<double>::infinity();
    for (int32_t i = j; i >= 1; --i) {
      const double cost = perSquares * deviations(i, j) + perLeaf;
      if (cost >= best) break;
      if (j - i == kMostSteps) {
        // Every start at i or below costs at least this interval, and the groups before it at
        // least a leaf.
        best = std::min(best, perLeaf + cost);
        break;
      }
      best = std::min(best, std::min(one[i - 1], many[i - 1]) + cost);
    }
    many[j] = best;
    if (j + 1 == v) break;
    // Groups 0..j cut as found and the rest as one interval make a partition: when it can win,
    // the feature must be evaluated. Any partition of all groups, cut back to groups 0..j, costs
    // at least the best cut of those: when even that cannot win, nothing can.
    const double rest = perSquares * deviations(j + 1, v - 1) + perLeaf;
    if (!cannotWin(std::min(one[j], many[j]) + rest)) return false;
    if (cannotWin(std::min(one[j] + perLeaf, many[j]))) return true;
  }
  return cannotWin(many[v - 1]);
}

}  // namespace tarvo
