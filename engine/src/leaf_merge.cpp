// The merge sequence of a numeric feature at the last level of the look-ahead. Every branch there
// is one leaf, so a union is judged from its groups' counts alone: the sequence runs on flat
// arrays of figures, makes no records, and the best partition's branches are made only when the
// node takes them, by replaying the merges that led to it. It picks the same pairs, in the same
// order, with the same figures as the general sequence (RunMergeSequence).
#include <algorithm>
#include <cmath>
#include <limits>

#include "criteria.h"
#include "split_search.h"

namespace tarvo {

bool TSplitSearch::ErrorsOrderScores(const TFrame& frame) const {
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

void TSplitSearch::EvaluateLeafPair(TFrame& frame, int32_t left, TLeafRanking ranking) {
  TLeafMerge& leaf = frame.Leaf;
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
  if (ranking == TLeafRanking::ByErrors) {
    // The union's mean and dispersion are needed only if the pair merges: they are pooled then,
    // from the same rows, so they come out the same.
    leaf.ByErrors.Insert(left, leaf.PairDeltaErrors[left]);
    return;
  }
  const double mean =
      PooledMean(leaf.Count[left], leaf.Mean[left], leaf.Count[right], leaf.Mean[right]);
  leaf.PairMean[left] = mean;
  leaf.PairSpread[left] =
      PooledDispersion(leaf.Count[left], leaf.Mean[left], leaf.Spread[left], leaf.Count[right],
                       leaf.Mean[right], leaf.Spread[right], mean);
  const TPairKey key = LeafPairKey(frame, left);
  leaf.PairDelta[left] = key.DeltaDispersion;
  if (ranking == TLeafRanking::ByDispersionTournament) frame.Ranking.Insert(left, key);
}

TPairKey TSplitSearch::LeafPairKey(const TFrame& frame, int32_t left) const {
  // As KeyOf: every branch is one leaf, whose dispersion is its group's.
  const TLeafMerge& leaf = frame.Leaf;
  const int32_t right = leaf.Next[left];
  TPairKey key;
  key.DeltaLeaves = -1;
  key.DeltaErrors = leaf.PairDeltaErrors[left];
  key.DeltaDispersion = MergedDispersionDelta(
      leaf.Count[left], leaf.Spread[left], leaf.Count[right], leaf.Spread[right],
      leaf.Count[left] + leaf.Count[right], leaf.PairSpread[left]);
  return key;
}

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

int32_t TSplitSearch::LeftmostLeaderPair(const TFrame& frame, double& score) const {
  // The score never rises as the Delta grows: the best score is that of the largest Delta, and
  // the pair wanted is the leftmost that scores the same, which rounding may allow a smaller
  // Delta. What one score tells spares the others: a Delta scoring worse, and all below it.
  const TLeafMerge& leaf = frame.Leaf;
  int32_t leader = -1;
  for (int32_t g = 1; leaf.Next[g]; g = leaf.Next[g]) {
    if (leader < 0 || leaf.PairDelta[g] > leaf.PairDelta[leader]) leader = g;
  }
  if (leader < 0) return -1;
  const TDeltaScore scoreOf(run_, frame.Totals, frame.KnownCount, frame.N,
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

bool TSplitSearch::DispersionTermVanishes(const TFrame& frame) const {
  // With moderate target values the weighted dispersion stays below about 1e206, and a root
  // dispersion of 0 or at least 1e-90 keeps its relative size finite: weighed by 0, it adds
  // exactly 0 to every score.
  const double root = run_.RootDispersion;
  return DeltasAreFinite(frame) && (root == 0 || (root >= 1e-90 && std::isfinite(root)));
}

void TSplitSearch::RunLeafMergeSequence(TFrame& frame, TLeafRanking ranking) {
  TLeafMerge& leaf = frame.Leaf;
  const int32_t v = frame.Groups.GroupCount;
  const bool byErrors = ranking == TLeafRanking::ByErrors;
  const bool tournament = ranking == TLeafRanking::ByDispersionTournament;
  if (byErrors) leaf.ByErrors.Reset(v + 1);
  if (tournament) frame.Ranking.Reset(TPairRanking::TMode::ByDispersionOneBucket, v + 1);
  for (int32_t l = 1; l < v; ++l) EvaluateLeafPair(frame, l, ranking);
  int32_t live = v;
  for (;;) {
    int32_t r = -1;
    double leaderScore = 0.0;
    if (byErrors) {
      r = leaf.ByErrors.Best();
    } else if (tournament) {
      r = frame.Ranking.Best([&](const TPairKey& key) { return ScoreOfKey(frame, key); });
    } else {
      r = LeftmostLeaderPair(frame, leaderScore);
    }
    if (r < 0) return;
    const int32_t q = leaf.Next[r];
    double score = leaderScore;  // the scan scored the pair it chose already
    TPairKey key;
    if (byErrors) {
      // The dispersion term adds 0 to every score here, so the totals follow the leaves and
      // errors alone; BuildLeafBest or BestLeafDispersion works out the best one's dispersion.
      frame.Totals.Leaves -= 1;
      frame.Totals.Errors += leaf.PairDeltaErrors[r];
      score = SplitScore(run_, frame.Totals.Leaves, run_.FeatureCost[frame.Feature], 0.0,
                         static_cast<double>(frame.Totals.Errors) / frame.KnownCount, frame.N);
    } else {
      key = LeafPairKey(frame, r);
      if (tournament) score = ScoreOfKey(frame, key);
      frame.Totals = TotalsAfter(frame, key);
    }
    const int32_t before = leaf.Previous[r];
    const int32_t after = leaf.Next[q];
    // The slots whose groups change leave the ranking.
    if (byErrors) {
      leaf.ByErrors.Remove(r, leaf.PairDeltaErrors[r]);
      if (after) leaf.ByErrors.Remove(q, leaf.PairDeltaErrors[q]);
      if (before) leaf.ByErrors.Remove(before, leaf.PairDeltaErrors[before]);
    } else if (tournament) {
      frame.Ranking.Remove(r, key);
      if (after) frame.Ranking.Remove(q, LeafPairKey(frame, q));
      if (before) frame.Ranking.Remove(before, LeafPairKey(frame, before));
    }

    ++frame.Step;
    leaf.Merges.emplace_back(r, q);
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
    if (score <= frame.BestScore) {
      frame.BestStep = frame.Step;
      frame.BestScore = score;
      frame.BestTotals = frame.Totals;
    }
    if (live == 2) return;
    if (before) EvaluateLeafPair(frame, before, ranking);
    if (after) EvaluateLeafPair(frame, r, ranking);
  }
}

bool TSplitSearch::EvaluateLeafFeature(TFrame& frame, int32_t f, double toBeat, bool deferRecords) {
  if (run_.Table.FeatureType[f] != ftNumeric) return false;
  const TValueGroups& groups = frame.Groups;
  const int32_t v = groups.GroupCount;
  frame.Feature = f;
  frame.Kind = ftNumeric;
  frame.KnownCount = groups.KnownCount;
  // The pairs are ranked by their change in errors alone, or by their Delta of dispersion: by
  // a scan of a few pairs, or in the tournament of TPairRanking. Other weightings take the
  // general sequence.
  const TTargetDescription& target = run_.Target;
  constexpr int32_t kMostScannedPairs = 32;
  TLeafRanking ranking = TLeafRanking::ByErrors;
  if (target.DispersionWeight == 0 && target.ErrorWeight > 0 && ErrorsOrderScores(frame) &&
      DispersionTermVanishes(frame)) {
    ranking = TLeafRanking::ByErrors;
  } else if (target.ErrorWeight == 0 && target.DispersionWeight > 0 && run_.RootDispersion > 0 &&
             DeltasAreFinite(frame)) {
    ranking = v <= kMostScannedPairs ? TLeafRanking::ByDispersionScan
                                     : TLeafRanking::ByDispersionTournament;
  } else {
    return false;
  }

  TLeafMerge& leaf = frame.Leaf;
  leaf.Resize(static_cast<size_t>(v) + 1);
  leaf.Merges.clear();
  // The initial partition, one leaf per distinct value, summed in group order.
  const int32_t classes = run_.C();
  TTreeFigures& totals = frame.Totals;
  totals = TTreeFigures{};
  for (int32_t g = 1; g <= v; ++g) {
    const TGroupRow& row = groups.Row(g);
    leaf.Count[g] = row.Count;
    leaf.Errors[g] = InitialErrors(row, classes);
    leaf.PureClass[g] = row.PureClass();
    // A sequence ranked by errors pools no means or spreads (BestLeafDispersion does, later).
    if (ranking != TLeafRanking::ByErrors) {
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
  totals.Dispersion = totals.Dispersion / frame.KnownCount;
  leaf.FirstDispersion = totals.Dispersion;
  const double initialScore =
      SplitScore(run_, totals.Leaves, run_.FeatureCost[f], totals.Dispersion,
                 static_cast<double>(totals.Errors) / frame.KnownCount, frame.N);
  frame.Step = 0;
  frame.BestStep = -1;
  frame.BestScore = kMissingScore;
  if (initialScore <= kMissingScore) {
    frame.BestStep = 0;
    frame.BestScore = initialScore;
    frame.BestTotals = totals;
  }
  if (v > 2) RunLeafMergeSequence(frame, ranking);

  // The unions were judged with f allowed below their first level, as in the general sequence.
  frame.Mask[f] = true;
  frame.Best.clear();
  if (frame.BestStep < 0 || !(frame.BestScore < toBeat)) return true;
  if (deferRecords) {
    // The node takes f with its branches still to be made (see MakePendingSplits); the sequence
    // ranked by errors left the best partition's dispersion to the replay.
    if (ranking == TLeafRanking::ByErrors) frame.BestTotals.Dispersion = BestLeafDispersion(frame);
    frame.SplitPending = true;
  } else {
    BuildLeafBest(frame);
  }
  return true;
}

void TSplitSearch::BuildLeafBest(TFrame& frame) {
  // Replays the merges up to the best partition on the groups' rows, then makes one branch per
  // group.
  TValueGroups& groups = frame.Groups;
  const int32_t v = groups.GroupCount;
  const int32_t classes = run_.C();
  ResetLiveGroups(frame);
  for (int32_t g = 1; g <= v; ++g) {
    TGroupRow& row = groups.Row(g);
    row.Grown = TTreeFigures{1, InitialErrors(row, classes), row.Spread};
  }
  // The merge of each step as MergeGroups makes it at the last level, where a row holds no
  // branch and a group keeps its members in the rows of its chain.
  double dispersion = frame.Leaf.FirstDispersion;
  for (int32_t step = 1; step <= frame.BestStep; ++step) {
    const auto [r, q] = frame.Leaf.Merges[step - 1];
    TGroupRow& rowR = groups.Row(r);
    const TGroupRow& rowQ = groups.Row(q);
    const int32_t errors = UnionMajorityErrors(rowR.ClassCount, rowQ.ClassCount, classes);
    const TPooledLeaf pooled = PoolLeaves(rowR.Count, rowR.Mean, rowR.Spread, rowQ.Count, rowQ.Mean,
                                          rowQ.Spread, frame.KnownCount, dispersion);
    groups.Threshold[r] = groups.Threshold[q];
    frame.ChainNext[frame.ChainLast[r]] = q;
    frame.ChainLast[r] = frame.ChainLast[q];
    AddClassCounts(rowR.ClassCount, rowQ.ClassCount, classes);
    rowR.Grown = TTreeFigures{1, errors, pooled.Spread};
    rowR.Mean = pooled.Mean;
    rowR.Spread = pooled.Spread;
    rowR.Count += rowQ.Count;
    frame.BranchBorn[r] = step;
    const int32_t after = frame.NextLive[q];
    frame.NextLive[r] = after;
    if (after) frame.PrevLive[after] = r;
    frame.NextLive[q] = frame.PrevLive[q] = 0;
  }
  frame.BestTotals.Dispersion = dispersion;
  for (int32_t g = 1; g; g = frame.NextLive[g]) frame.Best.push_back(MakeLastLevelBranch(frame, g));
}

double TSplitSearch::BestLeafDispersion(TFrame& frame) {
  // The merges up to the best partition replayed on the groups' counts, means and spreads alone,
  // in the leaf arrays; the rows keep the groups as their values made them.
  TLeafMerge& leaf = frame.Leaf;
  const TValueGroups& groups = frame.Groups;
  for (int32_t g = 1; g <= groups.GroupCount; ++g) {
    const TGroupRow& row = groups.Row(g);
    leaf.Count[g] = row.Count;
    leaf.Mean[g] = row.Mean;
    leaf.Spread[g] = row.Spread;
  }
  double dispersion = leaf.FirstDispersion;
  for (int32_t step = 1; step <= frame.BestStep; ++step) {
    const auto [r, q] = leaf.Merges[step - 1];
    const TPooledLeaf pooled =
        PoolLeaves(leaf.Count[r], leaf.Mean[r], leaf.Spread[r], leaf.Count[q], leaf.Mean[q],
                   leaf.Spread[q], frame.KnownCount, dispersion);
    leaf.Count[r] += leaf.Count[q];
    leaf.Mean[r] = pooled.Mean;
    leaf.Spread[r] = pooled.Spread;
  }
  return dispersion;
}

}  // namespace tarvo
