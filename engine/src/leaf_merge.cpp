// The merge sequence of a numeric feature at the last level of the look-ahead. Every branch there
// is one leaf, so a union is judged from its groups' counts alone: the sequence runs on flat
// arrays of figures, makes no records, and the best partition's branches are made only when the
// node takes them, by replaying the merges that led to it. It picks the same pairs, in the same
// order, with the same figures as the general sequence (TMergeSequence).
#include "leaf_merge.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "criteria.h"
#include "group_branches.h"

namespace tarvo {

namespace {

// The errors of a group as its values grouped it: the objects outside its largest class.
int32_t InitialErrors(const TGroupRow& row, int32_t classes) {
  return classes > 0 ? row.Count - row.Largest : 0;
}

// The score ScoreOfKey gives the merge of a pair that takes one leaf and no error away and Delta
// off the weighted dispersion, with the terms that every such pair shares worked out once. The
// operations and their order are those of TotalsAfter and SplitScore, so the score is the same
// to the last bit.
class TDeltaScore {
 public:
  TDeltaScore(const TRunState& run, const TTreeFigures& totals, int32_t known, int32_t n,
              double cost)
      : run_(run),
        dispersion_(totals.Dispersion),
        known_(known),
        errorTerm_(run.Target.ErrorWeight * (static_cast<double>(totals.Errors) / known)),
        leafTerm_(run.LeafWeight * (totals.Leaves - 1) / n),
        costTerm_(run.CostWeight * cost) {}

  double operator()(double delta) const {
    double within = dispersion_ - delta / known_;
    if (!(within > 0)) within = 0;
    const double relative = run_.RootDispersion == 0 ? 0.0 : within / run_.RootDispersion;
    return run_.Target.DispersionWeight * relative + errorTerm_ + leafTerm_ + costTerm_;
  }

 private:
  const TRunState& run_;
  double dispersion_;
  int32_t known_;
  double errorTerm_;
  double leafTerm_;
  double costTerm_;
};

struct TPooledLeaf {
  double Mean = 0.0;
  double Spread = 0.0;
};

// The union of two leaves, pooled as the sequence pools it, and the partition's dispersion after
// their merge, as TotalsAfter works it out from the key of LeafPairKey.
TPooledLeaf PoolLeaves(int32_t countR, double meanR, double spreadR, int32_t countQ, double meanQ,
                       double spreadQ, int32_t known, double& dispersion) {
  TPooledLeaf pooled;
  pooled.Mean = PooledMean(countR, meanR, countQ, meanQ);
  pooled.Spread = PooledDispersion(countR, meanR, spreadR, countQ, meanQ, spreadQ, pooled.Mean);
  const double delta =
      MergedDispersionDelta(countR, spreadR, countQ, spreadQ, countR + countQ, pooled.Spread);
  dispersion = dispersion - delta / known;
  return pooled;
}

}  // namespace

bool TLeafMergeSequence::ErrorsOrderScores(const TSearchFrame& frame) const {
  // The error term changes by at least ErrorWeight / w per error; the score's other terms are
  // the same for every pair (one leaf less), and no term exceeds the sum of the weights' sizes.
  // When an error outweighs the rounding of those terms many times over, a pair with fewer new
  // errors always scores strictly lower, so the leftmost pair of least new errors is the best.
  const TTargetDescription& target = run_.Target;
  const double perError = target.ErrorWeight / frame.Groups.KnownCount;
  const double largest = std::fabs(target.ErrorWeight) + std::fabs(run_.LeafWeight) +
                         std::fabs(run_.CostWeight * run_.FeatureCost[frame.Feature]);
  return std::isfinite(largest) && perError > 1e-12 * largest;
}

bool TLeafMergeSequence::DispersionTermVanishes(const TSearchFrame& frame) const {
  // With moderate target values the weighted dispersion stays below about 1e206, and a root
  // dispersion of 0 or at least 1e-90 keeps its relative size finite: weighed by 0, it adds
  // exactly 0 to every score.
  const double root = run_.RootDispersion;
  return DeltasAreFinite(run_, frame) && (root == 0 || (root >= 1e-90 && std::isfinite(root)));
}

bool TLeafMergeSequence::ChooseRanking(const TSearchFrame& frame, TRanking& ranking) const {
  // The pairs are ranked by their change in errors alone, or by their Delta of dispersion: by
  // a scan of a few pairs, or in the tournament of TPairRanking. Other weightings take the
  // general sequence.
  const TTargetDescription& target = run_.Target;
  constexpr int32_t kMostScannedPairs = 32;
  if (target.DispersionWeight == 0 && target.ErrorWeight > 0 && ErrorsOrderScores(frame) &&
      DispersionTermVanishes(frame)) {
    ranking = TRanking::ByErrors;
    return true;
  }
  if (target.ErrorWeight == 0 && target.DispersionWeight > 0 && run_.RootDispersion > 0 &&
      DeltasAreFinite(run_, frame)) {
    ranking = frame.Groups.GroupCount <= kMostScannedPairs ? TRanking::ByDispersionScan
                                                           : TRanking::ByDispersionTournament;
    return true;
  }
  return false;
}

void TLeafMergeSequence::EvaluatePair(int32_t left, TRanking ranking) {
  TLeafGroups& leaf = leaf_;
  const int32_t right = leaf.Next[left];
  // Two groups of one class each, as most are, need no pass over the class slots.
  const int32_t leftClass = leaf.PureClass[left];
  const int32_t rightClass = leaf.PureClass[right];
  const int32_t unionErrors =
      leftClass && rightClass
          ? (leftClass == rightClass ? 0 : std::min(leaf.Count[left], leaf.Count[right]))
          : UnionMajorityErrors(leaf.Classes[left], leaf.Classes[right], run_.C());
  leaf.PairErrors[left] = unionErrors;
  leaf.PairDeltaErrors[left] = unionErrors - leaf.Errors[left] - leaf.Errors[right];
  if (ranking == TRanking::ByErrors) {
    // The union's mean and dispersion are needed only if the pair merges: they are pooled then,
    // from the same rows, so they come out the same.
    byErrors_.Insert(left, leaf.PairDeltaErrors[left]);
    return;
  }
  const double mean =
      PooledMean(leaf.Count[left], leaf.Mean[left], leaf.Count[right], leaf.Mean[right]);
  leaf.PairMean[left] = mean;
  leaf.PairSpread[left] =
      PooledDispersion(leaf.Count[left], leaf.Mean[left], leaf.Spread[left], leaf.Count[right],
                       leaf.Mean[right], leaf.Spread[right], mean);
  const TPairKey key = PairKey(left);
  leaf.PairDelta[left] = key.DeltaDispersion;
  if (ranking == TRanking::ByDispersionTournament) byDelta_.Insert(left, key);
}

TPairKey TLeafMergeSequence::PairKey(int32_t left) const {
  // As the general sequence keys a pair: every branch is one leaf, whose dispersion is its group's.
  const TLeafGroups& leaf = leaf_;
  const int32_t right = leaf.Next[left];
  TPairKey key;
  key.DeltaLeaves = -1;
  key.DeltaErrors = leaf.PairDeltaErrors[left];
  key.DeltaDispersion = MergedDispersionDelta(
      leaf.Count[left], leaf.Spread[left], leaf.Count[right], leaf.Spread[right],
      leaf.Count[left] + leaf.Count[right], leaf.PairSpread[left]);
  return key;
}

int32_t TLeafMergeSequence::LeftmostLeaderPair(const TSearchFrame& frame, double& score) const {
  // The score never rises as the Delta grows: the best score is that of the largest Delta, and
  // the pair wanted is the leftmost that scores the same, which rounding may allow a smaller
  // Delta. What one score tells spares the others: a Delta scoring worse, and all below it.
  const TLeafGroups& leaf = leaf_;
  int32_t leader = -1;
  for (int32_t g = 1; leaf.Next[g]; g = leaf.Next[g]) {
    if (leader < 0 || leaf.PairDelta[g] > leaf.PairDelta[leader]) leader = g;
  }
  if (leader < 0) return -1;
  const TDeltaScore scoreOf(run_, frame.Totals, frame.Groups.KnownCount, frame.N,
                            run_.FeatureCost[frame.Feature]);
  score = scoreOf(leaf.PairDelta[leader]);
  double worseUpTo = -std::numeric_limits<double>::infinity();
  for (int32_t g = 1; g != leader; g = leaf.Next[g]) {
    const double delta = leaf.PairDelta[g];
    if (delta <= worseUpTo) continue;
    if (scoreOf(delta) == score) return g;
    worseUpTo = delta;
  }
  return leader;
}

void TLeafMergeSequence::Run(TSearchFrame& frame, TRanking ranking) {
  const int32_t v = frame.Groups.GroupCount;
  const bool byErrors = ranking == TRanking::ByErrors;
  const bool tournament = ranking == TRanking::ByDispersionTournament;
  if (byErrors) byErrors_.Reset(v + 1);
  if (tournament) byDelta_.Reset(TPairRanking::TMode::ByDispersionOneBucket, v + 1);
  for (int32_t l = 1; l < v; ++l) EvaluatePair(l, ranking);
  int32_t live = v;
  for (;;) {
    int32_t r = -1;
    double leaderScore = 0.0;
    if (byErrors) {
      r = byErrors_.Best();
    } else if (tournament) {
      r = byDelta_.Best([&](const TPairKey& key) { return ScoreOfKey(run_, frame, key); });
    } else {
      r = LeftmostLeaderPair(frame, leaderScore);
    }
    if (r < 0) return;
    const int32_t q = leaf_.Next[r];
    double score = leaderScore;  // the scan scored the pair it chose already
    TTreeFigures& totals = frame.Totals;
    TPairKey key;
    if (byErrors) {
      // The dispersion term adds 0 to every score here, so the totals follow the leaves and
      // errors alone; BuildBest or BestDispersion works out the best one's dispersion.
      totals.Leaves -= 1;
      totals.Errors += leaf_.PairDeltaErrors[r];
      score = SplitScore(run_, totals.Leaves, run_.FeatureCost[frame.Feature], 0.0,
                         static_cast<double>(totals.Errors) / frame.Groups.KnownCount, frame.N);
    } else {
      key = PairKey(r);
      if (tournament) score = ScoreOfKey(run_, frame, key);
      totals = TotalsAfter(frame, key);
    }
    const int32_t before = leaf_.Previous[r];
    const int32_t after = leaf_.Next[q];
    // The slots whose groups change leave the ranking.
    if (byErrors) {
      byErrors_.Remove(r, leaf_.PairDeltaErrors[r]);
      if (after) byErrors_.Remove(q, leaf_.PairDeltaErrors[q]);
      if (before) byErrors_.Remove(before, leaf_.PairDeltaErrors[before]);
    } else if (tournament) {
      byDelta_.Remove(r, key);
      if (after) byDelta_.Remove(q, PairKey(q));
      if (before) byDelta_.Remove(before, PairKey(before));
    }
    ++frame.Groups.Step;
    merges_.emplace_back(r, q);
    TLeafGroups& leaf = leaf_;
    leaf.Count[r] += leaf.Count[q];
    leaf.Errors[r] = leaf.PairErrors[r];
    if (leaf.Errors[r] != 0) leaf.PureClass[r] = 0;  // a union without errors keeps the class
    if (byErrors) {
      AddClassCounts(leaf.Classes[r], leaf.Classes[q], run_.C());
    } else {
      leaf.Mean[r] = leaf.PairMean[r];
      leaf.Spread[r] = leaf.PairSpread[r];
    }
    leaf.Next[r] = after;
    if (after) leaf.Previous[after] = r;
    leaf.Next[q] = leaf.Previous[q] = 0;
    --live;
    // Ties go to the later partition, the one with fewer groups.
    TBestPartition& best = frame.Best;
    if (score <= best.Score) {
      best.Step = frame.Groups.Step;
      best.Score = score;
      best.Totals = totals;
    }
    if (live == 2) return;
    if (before) EvaluatePair(before, ranking);
    if (after) EvaluatePair(r, ranking);
  }
}

double TLeafMergeSequence::LayOutGroups(TSearchFrame& frame, TRanking ranking) {
  const TGroupTable& groups = frame.Groups;
  const int32_t v = groups.GroupCount;
  TLeafGroups& leaf = leaf_;
  leaf.Resize(static_cast<size_t>(v) + 1);
  merges_.clear();
  // The initial partition, one leaf per distinct value, summed in group order.
  const int32_t classes = run_.C();
  TTreeFigures& totals = frame.Totals;
  totals = TTreeFigures{};
  for (int32_t g = 1; g <= v; ++g) {
    const TGroupRow& row = groups.Row(g);
    leaf.Count[g] = row.Count;
    leaf.Errors[g] = InitialErrors(row, classes);
    leaf.PureClass[g] = row.PureClass();
    // A sequence ranked by errors pools no means or spreads (BestDispersion does, later).
    if (ranking != TRanking::ByErrors) {
      leaf.Mean[g] = row.Mean;
      leaf.Spread[g] = row.Spread;
    }
    if (classes > 0) leaf.Classes[g] = row.ClassCount;
    leaf.Next[g] = g < v ? g + 1 : 0;
    leaf.Previous[g] = g - 1;
    totals.Leaves += 1;
    totals.Errors += leaf.Errors[g];
    totals.Dispersion += static_cast<double>(row.Count) * row.Spread;
  }
  totals.Dispersion = totals.Dispersion / groups.KnownCount;
  firstDispersion_ = totals.Dispersion;
  return SplitScore(run_, totals.Leaves, run_.FeatureCost[frame.Feature], totals.Dispersion,
                    static_cast<double>(totals.Errors) / groups.KnownCount, frame.N);
}

bool TLeafMergeSequence::EvaluateFeature(TSearchFrame& frame, int32_t f, double toBeat,
                                         bool deferRecords) {
  if (run_.Table.FeatureType[f] != ftNumeric) return false;
  frame.Feature = f;
  frame.Kind = ftNumeric;
  TRanking ranking = TRanking::ByErrors;
  if (!ChooseRanking(frame, ranking)) return false;

  const double initialScore = LayOutGroups(frame, ranking);
  TBestPartition& best = frame.Best;
  best.Restart();
  frame.Groups.Step = 0;
  if (initialScore <= kMissingScore) {
    best.Step = 0;
    best.Score = initialScore;
    best.Totals = frame.Totals;
  }
  if (frame.Groups.GroupCount > 2) Run(frame, ranking);

  // The unions were judged with f allowed below their first level, as in the general sequence.
  frame.Mask[f] = true;
  if (best.Step < 0 || !(best.Score < toBeat)) return true;
  if (deferRecords) {
    // The node takes f with its branches still to be made (see MakePendingSplits); the sequence
    // ranked by errors left the best partition's dispersion to the replay.
    if (ranking == TRanking::ByErrors) best.Totals.Dispersion = BestDispersion(frame);
    best.Pending = true;
  } else {
    BuildBest(frame);
  }
  return true;
}

void TLeafMergeSequence::BuildBest(TSearchFrame& frame) {
  // Replays the merges up to the best partition on the groups' rows, then makes one branch per
  // group.
  TGroupTable& groups = frame.Groups;
  const int32_t v = groups.GroupCount;
  const int32_t classes = run_.C();
  groups.ResetLive();
  for (int32_t g = 1; g <= v; ++g) {
    TGroupRow& row = groups.Row(g);
    row.Grown = TTreeFigures{1, InitialErrors(row, classes), row.Spread};
  }
  // The merge of each step as the general sequence makes it at the last level, where a row holds
  // no branch and a group keeps its members in the rows of its chain.
  double dispersion = firstDispersion_;
  for (int32_t step = 1; step <= frame.Best.Step; ++step) {
    const auto [r, q] = merges_[step - 1];
    TGroupRow& rowR = groups.Row(r);
    const TGroupRow& rowQ = groups.Row(q);
    const int32_t errors = UnionMajorityErrors(rowR.ClassCount, rowQ.ClassCount, classes);
    const TPooledLeaf pooled = PoolLeaves(rowR.Count, rowR.Mean, rowR.Spread, rowQ.Count, rowQ.Mean,
                                          rowQ.Spread, groups.KnownCount, dispersion);
    groups.Threshold[r] = groups.Threshold[q];
    groups.Chain(r, q);
    AddClassCounts(rowR.ClassCount, rowQ.ClassCount, classes);
    rowR.Grown = TTreeFigures{1, errors, pooled.Spread};
    rowR.Mean = pooled.Mean;
    rowR.Spread = pooled.Spread;
    rowR.Count += rowQ.Count;
    groups.BranchBorn[r] = step;
    groups.Unlink(q);
  }
  frame.Best.Totals.Dispersion = dispersion;
  for (int32_t g = 1; g; g = groups.NextLive[g]) {
    frame.Best.Branches.push_back(MakeLastLevelBranch(run_, records_, frame, g));
  }
}

double TLeafMergeSequence::BestDispersion(const TSearchFrame& frame) {
  // The merges up to the best partition replayed on the groups' counts, means and spreads alone,
  // in the leaf arrays; the rows keep the groups as their values made them.
  TLeafGroups& leaf = leaf_;
  const TGroupTable& groups = frame.Groups;
  for (int32_t g = 1; g <= groups.GroupCount; ++g) {
    const TGroupRow& row = groups.Row(g);
    leaf.Count[g] = row.Count;
    leaf.Mean[g] = row.Mean;
    leaf.Spread[g] = row.Spread;
  }
  double dispersion = firstDispersion_;
  for (int32_t step = 1; step <= frame.Best.Step; ++step) {
    const auto [r, q] = merges_[step - 1];
    const TPooledLeaf pooled =
        PoolLeaves(leaf.Count[r], leaf.Mean[r], leaf.Spread[r], leaf.Count[q], leaf.Mean[q],
                   leaf.Spread[q], groups.KnownCount, dispersion);
    leaf.Count[r] += leaf.Count[q];
    leaf.Mean[r] = pooled.Mean;
    leaf.Spread[r] = pooled.Spread;
  }
  return dispersion;
}

}  // namespace tarvo
