// The bounds that let a search skip a feature: when no partition by it can score strictly below
// the best split found so far, evaluating it cannot change what the search returns.
#include <algorithm>

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
  frame.Runs.clear();
  for (int32_t g = 1; g <= groups.GroupCount; ++g) {
    const TGroupRow& row = groups.Row(g);
    const int32_t errors = MajorityErrors(row.ClassCount, classes);
    finest += errors;
    if (!numeric || classes <= 0) continue;
    // Alternating the majority with the others gives 2 x errors changes, at most count - 1.
    changes += std::min(row.Count - 1, 2 * errors);
    int32_t pure = 0;
    if (errors == 0) {
      for (int32_t c = 1; c <= classes && !pure; ++c) pure = row.ClassCount[c] > 0 ? c : 0;
    }
    if (pure && previousPure && pure != previousPure) ++changes;
    // Neighbouring groups of one class make one run: a cut between them never pays.
    if (pure && pure == previousPure) {
      AddClassCounts(frame.Runs.back(), row.ClassCount);
    } else {
      frame.Runs.push_back(row.ClassCount);
    }
    previousPure = pure;
  }
  for (int32_t k = 2; k <= std::max(2, groups.GroupCount); ++k) {
    const int32_t errors = std::max(finest, changes >= k - 1 ? (changes - k + 2) / 2 : 0);
    if (!CannotWin(f, errors, groups.KnownCount, frame.N, toBeat, k)) {
      return numeric && classes > 0 && IntervalsCannotWin(frame, f, toBeat, finest);
    }
    if (errors == finest) break;  // more groups only add leaves
  }
  return true;
}

bool TSplitSearch::IntervalsCannotWin(TFrame& frame, int32_t f, double toBeat, int32_t finest) {
  // The fewest errors of any cut of the runs into k intervals, for k = 2, 3, ...: a cut inside
  // a run can always move to the run's edge without adding errors, so this bounds every
  // partition of the groups into k intervals. Too many runs would cost more than the merges.
  constexpr int32_t kMostRuns = 64;
  const int32_t runs = static_cast<int32_t>(frame.Runs.size());
  if (runs > kMostRuns) return false;
  const int32_t classes = run_.C();
  // errorsOf[i * runs + j]: the errors of runs i..j as one interval.
  std::vector<int32_t>& errorsOf = frame.IntervalErrors;
  errorsOf.resize(static_cast<size_t>(runs) * runs);
  for (int32_t i = 0; i < runs; ++i) {
    TClassCounts counts{};
    for (int32_t j = i; j < runs; ++j) {
      AddClassCounts(counts, frame.Runs[j]);
      errorsOf[i * runs + j] = MajorityErrors(counts, classes);
    }
  }
  // fewest[j]: the fewest errors of runs 0..j cut into k intervals (k - 1 intervals before).
  std::vector<int32_t>& fewest = frame.FewestErrors;
  std::vector<int32_t>& next = frame.NextFewest;
  fewest.resize(runs);
  next.resize(runs);
  for (int32_t j = 0; j < runs; ++j) fewest[j] = errorsOf[j];
  const int32_t known = frame.Groups.KnownCount;
  for (int32_t k = 2;; ++k) {
    // k intervals of runs need k runs; beyond that the groups' own errors are all that is left.
    if (k > runs) return CannotWin(f, finest, known, frame.N, toBeat, k);
    for (int32_t j = runs - 1; j >= k - 1; --j) {
      int32_t best = fewest[k - 2] + errorsOf[(k - 1) * runs + j];
      for (int32_t i = k; i <= j; ++i)
        best = std::min(best, fewest[i - 1] + errorsOf[i * runs + j]);
      next[j] = best;
    }
    fewest.swap(next);
    if (!CannotWin(f, fewest[runs - 1], known, frame.N, toBeat, k)) return false;
    if (CannotWin(f, 0, known, frame.N, toBeat, k)) return true;  // more groups only add leaves
  }
}

}  // namespace tarvo
