// The bounds of a feature's best score: a few terms from its groups' counts, and the best cut of
// its groups into intervals, which one helper works out for classes and for dispersion alike.
#include "search_bounds.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "criteria.h"

namespace tarvo {

namespace {

// The least cost of a cut of items 0..count-1 (runs or groups, in value order) into intervals,
// worked out item by item: one[j] and many[j] are the least costs of items 0..j as one interval
// and as two or more. After each item the cut found so far, followed by the rest as one interval,
// is a partition: when it can win, the feature must be evaluated; and when even the best cut of
// the items so far cannot win, nothing can. The cuts give the costs:
//   First(j): items 0..j as one interval, asked for j = 0, 1, ... in turn;
//   Last(j, i): items i..j as one interval, asked for i = j, j - 1, ... in turn, each no lower
//               than the one before, so the search for the last interval stops early;
//   WithRest(j, head): head plus the cost of items j+1..count-1 as one interval;
//   CannotWin(least): whether a partition of cost `least` cannot win.
// perInterval is the cost one more interval adds. When an item may hold several groups, one
// interval is also a partition (of two groups at least), and counts once more. After mostSteps
// starts of the last interval, the earlier starts are bounded together from below.
// An interval's cost less perInterval never falls when items join it (the errors or squared
// deviations of a union are at least those of its parts), so a start i' < i costs at least the
// start i less perInterval: cut the last interval i'..j at i, and the items 0..i-1 then form a
// partition of them. Once the start i costs the best plus perInterval, the search stops there.
template <typename TCuts>
bool BestCutCannotWin(TCuts& cuts, int32_t count, double perInterval, bool itemsHoldGroups,
                      int32_t mostSteps, std::vector<double>& one, std::vector<double>& many) {
  one.resize(count);
  many.resize(count);
  for (int32_t j = 0; j < count; ++j) {
    one[j] = cuts.First(j);
    double best = std::numeric_limits<double>::infinity();
    for (int32_t i = j; i >= 1; --i) {
      // What comes before the last interval costs at least one interval: once the last
      // interval alone and that cost the best, no earlier start can do better.
      const double last = cuts.Last(j, i);
      if (perInterval + last >= best) break;
      const double start = std::min(one[i - 1], many[i - 1]) + last;
      if (j - i == mostSteps) {
        // Every start at i or below costs at least this one less an interval's worth, and at
        // least this interval with an interval before it.
        best = std::min(best, std::max(start - perInterval, perInterval + last));
        break;
      }
      best = std::min(best, start);
      if (start - perInterval >= best) break;
    }
    many[j] = best;
    if (j + 1 == count) break;
    // Any partition of all items, cut back to items 0..j, costs at least the best cut of those.
    if (!cuts.CannotWin(cuts.WithRest(j, std::min(one[j], many[j])))) return false;
    if (cuts.CannotWin(std::min(one[j] + perInterval, many[j]))) return true;
  }
  const int32_t last = count - 1;
  return cuts.CannotWin(itemsHoldGroups ? std::min(one[last] + perInterval, many[last])
                                        : many[last]);
}

// The intervals of runs of a classification run: an interval costs its errors (the objects
// outside its largest class) plus lambda.
template <int32_t kClassSlots>
class TClassCuts {
 public:
  TClassCuts(const std::vector<TClassCounts>& runs, const std::vector<int32_t>& runClass,
             double lambda, double perError, double costTerm, double toBeat)
      : runs_(runs),
        runClass_(runClass),
        lambda_(lambda),
        perError_(perError),
        costTerm_(costTerm),
        toBeat_(toBeat) {
    for (const TClassCounts& runCounts : runs) AddClassCounts(all_, runCounts, kClassSlots);
  }

  double First(int32_t j) {
    Add(j, prefix_, prefixTotal_, prefixLargest_);
    return (prefixTotal_ - prefixLargest_) + lambda_;
  }
  double Last(int32_t j, int32_t i) {
    if (i == j) {
      counts_ = TClassCounts{};
      total_ = largest_ = 0;
    }
    Add(i, counts_, total_, largest_);
    return (total_ - largest_) + lambda_;
  }
  // The class counts of all runs less those of runs 0..j give the errors of the rest.
  double WithRest(int32_t /*j*/, double head) const {
    int32_t total = 0, largest = 0;
    for (int32_t c = 1; c <= kClassSlots; ++c) {
      const int32_t count = all_[c] - prefix_[c];
      total += count;
      largest = std::max(largest, count);
    }
    return head + (total - largest) + lambda_;
  }
  // The bound and the real scores round differently: a relative margin far above their
  // rounding keeps the skip safe.
  bool CannotWin(double least) const {
    const double lowest = perError_ * least + costTerm_;
    const double margin = 1e-9 * (std::fabs(lowest) + std::fabs(toBeat_));
    return lowest - margin >= toBeat_;
  }

 private:
  // Counts only grow as runs are added, so the largest count follows the added runs.
  void Add(int32_t r, TClassCounts& into, int32_t& total, int32_t& largest) const {
    const TClassCounts& runCounts = runs_[r];
    if (const int32_t pure = runClass_[r]) {
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
  }

  const std::vector<TClassCounts>& runs_;
  const std::vector<int32_t>& runClass_;
  double lambda_, perError_, costTerm_, toBeat_;
  TClassCounts all_{};
  TClassCounts prefix_{};  // of runs 0..j
  int32_t prefixTotal_ = 0, prefixLargest_ = 0;
  TClassCounts counts_{};  // of runs i..j
  int32_t total_ = 0, largest_ = 0;
};

// The intervals of groups of a regression run: an interval costs its squared deviations, weighed,
// plus a leaf's worth.
template <typename Test>
class TDispersionCuts {
 public:
  TDispersionCuts(const std::vector<double>& counts, const std::vector<double>& sums,
                  const std::vector<double>& squares, int32_t v, double perSquares, double perLeaf,
                  const Test& cannotWin)
      : counts_(counts),
        sums_(sums),
        squares_(squares),
        v_(v),
        perSquares_(perSquares),
        perLeaf_(perLeaf),
        cannotWin_(cannotWin) {}

  double First(int32_t j) const { return Cost(0, j); }
  double Last(int32_t j, int32_t i) const { return Cost(i, j); }
  double WithRest(int32_t j, double head) const { return head + Cost(j + 1, v_ - 1); }
  bool CannotWin(double least) const { return cannotWin_(least); }

 private:
  double Cost(int32_t i, int32_t j) const { return perSquares_ * Deviations(i, j) + perLeaf_; }
  // The squared deviations of groups i+1..j+1; rounding may leave a hair below 0.
  double Deviations(int32_t i, int32_t j) const {
    const double sum = sums_[j + 1] - sums_[i];
    return std::max(0.0, squares_[j + 1] - squares_[i] - sum * sum / (counts_[j + 1] - counts_[i]));
  }

  const std::vector<double>& counts_;
  const std::vector<double>& sums_;
  const std::vector<double>& squares_;
  int32_t v_;
  double perSquares_, perLeaf_;
  const Test& cannotWin_;
};

}  // namespace

bool TSearchBounds::Hold() const {
  // Every term of a split's score is then at least its value for no dispersion, no errors and
  // two leaves; a skipped feature leaves no scores behind, so none may be read later.
  const TTargetDescription& target = run_.Target;
  return !run_.ScoresRead && target.DispersionWeight >= 0 && target.ErrorWeight >= 0 &&
         run_.LeafWeight >= 0 && run_.CostWeight >= 0 && run_.RootDispersion >= 0;
}

bool TSearchBounds::CannotWin(int32_t f, int32_t errors, int32_t known, int32_t n, double toBeat,
                              int32_t leaves) const {
  // The lowest score any partition by f can have: at least `leaves` leaves, at least `errors`
  // errors among its known objects, no dispersion. Each term and each sum rounds monotonically,
  // so a real score is never below it; a tie does not win either.
  const double lowest =
      SplitScore(run_, leaves, run_.FeatureCost[f], 0.0, static_cast<double>(errors) / known, n);
  return lowest >= toBeat;
}

bool TSearchBounds::LeafPartitionsCannotWin(TSearchFrame& frame, int32_t f, double toBeat) {
  // Merging groups never lowers the errors of their majority classes, so a leaf partition has
  // at least the errors of the one group per value (finest).
  // A numeric partition into k groups cuts the value order into k intervals. Lay the objects
  // out in value order, each group's objects arranged so that neighbours differ in class as
  // often as its counts allow: an interval with m class changes inside has at least m/2 errors
  // (each change has an object outside the majority on one side, and each object is beside at
  // most two changes), and the k - 1 cuts remove at most k - 1 of the M changes of the layout.
  // So k groups have at least ceil((M - k + 1) / 2) errors.
  const TGroupTable& groups = frame.Groups;
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

bool TSearchBounds::IntervalsCannotWin(const TSearchFrame& frame, int32_t f, double toBeat) {
  // The groups in runs: neighbouring groups of one class make one run, as a cut between them
  // never pays.
  const TGroupTable& groups = frame.Groups;
  const int32_t classes = run_.C();
  runs_.clear();
  runClass_.clear();
  int32_t previousPure = 0;
  for (int32_t g = 1; g <= groups.GroupCount; ++g) {
    const TGroupRow& row = groups.Row(g);
    const int32_t pure = row.PureClass();
    if (pure && pure == previousPure) {
      AddClassCounts(runs_.back(), row.ClassCount, classes);
    } else {
      runs_.push_back(row.ClassCount);
      runClass_.push_back(pure);
    }
    previousPure = pure;
  }
  // The class loops run over a fixed number of slots, the fewest that hold the run's classes.
  if (classes <= 4) return IntervalsCannotWinOver<4>(frame, f, toBeat);
  if (classes <= 8) return IntervalsCannotWinOver<8>(frame, f, toBeat);
  return IntervalsCannotWinOver<kMaxClasses>(frame, f, toBeat);
}

template <int32_t kClassSlots>
bool TSearchBounds::IntervalsCannotWinOver(const TSearchFrame& frame, int32_t f, double toBeat) {
  // A leaf partition into k groups with J errors scores at least perError x (J + perLeaf /
  // perError x k) plus the cost term. A cut inside a run can always move to the run's edge
  // without adding errors, so the least J + lambda k over the cuts of the runs into intervals
  // (counting one interval as two groups, the fewest a partition has) bounds every partition
  // of the groups. Too many runs would cost more than the merges.
  constexpr int32_t kMostRuns = 64;
  const int32_t runs = static_cast<int32_t>(runs_.size());
  const double perError = run_.Target.ErrorWeight / frame.Groups.KnownCount;
  const double perLeaf = run_.LeafWeight / frame.N;
  if (runs > kMostRuns || !(perError > 0)) return false;
  const double lambda = perLeaf / perError;
  const double costTerm = run_.CostWeight * run_.FeatureCost[f];
  TClassCuts<kClassSlots> cuts(runs_, runClass_, lambda, perError, costTerm, toBeat);
  return BestCutCannotWin(cuts, runs, lambda, true, runs, oneInterval_, manyIntervals_);
}

bool TSearchBounds::DispersionIntervalsCannotWin(TSearchFrame& frame, int32_t f, double toBeat) {
  // A leaf partition of a numeric feature scores at least its within dispersion term plus a
  // leaf's worth per group. The least of that sum over the cuts of the groups into two or more
  // intervals bounds every partition of the merge sequence.
  const TGroupTable& groups = frame.Groups;
  const int32_t v = groups.GroupCount;
  const double root = run_.RootDispersion;
  const double weight = run_.Target.DispersionWeight;
  if (!(root > 0) || v < 2) return false;
  const double perSquares = weight / (root * groups.KnownCount);  // per squared deviation
  const double perLeaf = run_.LeafWeight / frame.N;
  // Running sums over groups 0..j of the counts, the values and the squared values, from which
  // the squared deviations of any interval follow.
  std::vector<double>& counts = prefixCounts_;
  std::vector<double>& sums = prefixSums_;
  std::vector<double>& squares = prefixSquares_;
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
  const double costTerm = run_.CostWeight * run_.FeatureCost[f];
  // The running sums here and the pooled dispersions of the merges round differently, and the
  // early stops trust rounded deviations to grow as intervals do and to be no less than those of
  // their parts: the errors stay below a few hundred roundings of the largest squared value, far
  // inside this margin. The largest squared value is taken over all of the node's objects, once per
  // node, when first needed: a larger one only widens the margin.
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
  // best. Beyond a table file's 500 groups, after kMostSteps starts the rest are bounded below
  // together: the work stays linear in the groups, and the value a lower bound (the test is only
  // weaker).
  constexpr int32_t kAllStepsUpTo = 500;
  constexpr int32_t kMostSteps = 32;
  const int32_t mostSteps = v > kAllStepsUpTo ? kMostSteps : v;
  TDispersionCuts cuts(counts, sums, squares, v, perSquares, perLeaf, cannotWin);
  return BestCutCannotWin(cuts, v, perLeaf, false, mostSteps, oneInterval_, manyIntervals_);
}

}  // namespace tarvo
