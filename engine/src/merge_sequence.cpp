// The merge sequence of a feature's value groups: the pairs of groups that could merge, each
// with its evaluated union, are ranked by the score of the partition after merging them; the best
// pair merges until two groups are left, and the best partition seen on the way is kept.
#include <algorithm>
#include <cmath>

#include "criteria.h"
#include "split_search.h"

namespace tarvo {

TPairKey TSplitSearch::KeyOf(const TFrame& frame, const TPairSlot& slot) const {
  const TGroupRow& rowL = frame.Groups.Row(slot.L);
  const TGroupRow& rowM = frame.Groups.Row(slot.M);
  TPairKey key;
  key.DeltaLeaves = slot.Grown.Leaves - rowL.Grown.Leaves - rowM.Grown.Leaves;
  key.DeltaErrors = slot.Grown.Errors - rowL.Grown.Errors - rowM.Grown.Errors;
  key.DeltaDispersion =
      MergedDispersionDelta(rowL.Count, rowL.Grown.Dispersion, rowM.Count, rowM.Grown.Dispersion,
                            slot.Count, slot.Grown.Dispersion);
  return key;
}

TTreeFigures TSplitSearch::TotalsAfter(const TFrame& frame, const TPairKey& key) const {
  const TTreeFigures& totals = frame.Totals;
  return TTreeFigures{totals.Leaves + key.DeltaLeaves, totals.Errors + key.DeltaErrors,
                      totals.Dispersion - key.DeltaDispersion / frame.KnownCount};
}

double TSplitSearch::ScoreOfKey(const TFrame& frame, const TPairKey& key) const {
  const TTreeFigures after = TotalsAfter(frame, key);
  return SplitScore(run_, after.Leaves, run_.FeatureCost[frame.Feature], after.Dispersion,
                    static_cast<double>(after.Errors) / frame.KnownCount, frame.N);
}

void TSplitSearch::EvaluatePair(TFrame& frame, TPairSlot& slot, int32_t l, int32_t m) {
  slot.L = l;
  slot.M = m;
  slot.Free = false;
  EvaluateBranch(frame, l, m, slot);
  // The rows of L and M stay as they are while the slot holds their pair, and so does its key.
  slot.Key = KeyOf(frame, slot);
}

int32_t TSplitSearch::FindBestPair(const TFrame& frame, double& score) const {
  // The lowest score, ties to the lowest slot. A free slot is never chosen: it holds no pair.
  int32_t best = -1;
  if (frame.UseRanking) {
    best = frame.Ranking.Best([&](const TPairKey& key) { return ScoreOfKey(frame, key); });
    if (best >= 0) score = ScoreOfKey(frame, frame.Pairs[best].Key);
    return best;
  }
  if (frame.Kind == ftNumeric) {
    for (int32_t g = 1; g; g = frame.NextLive[g]) {
      if (!frame.NextLive[g]) break;
      const double s = ScoreOfKey(frame, frame.Pairs[g].Key);
      if (best < 0 || s < score) {
        best = g;
        score = s;
      }
    }
    return best;
  }
  for (int32_t s = 0; s < static_cast<int32_t>(frame.Pairs.size()); ++s) {
    const TPairSlot& slot = frame.Pairs[s];
    if (slot.Free) continue;
    if (best < 0 || slot.Score < score) {
      best = s;
      score = slot.Score;
    }
  }
  return best;
}

void TSplitSearch::KeepAsBest(TFrame& frame, double score) {
  // The best is now the current partition: the branches kept for the previous one can go.
  for (const auto& retained : frame.Retained) records_.FreeBranch(retained.second);
  frame.Retained.clear();
  frame.BestStep = frame.Step;
  frame.BestScore = score;
  frame.BestTotals = frame.Totals;
}

void TSplitSearch::RetireBranch(TFrame& frame, int32_t g, bool keepBest) {
  if (keepBest && frame.BestStep >= 0 && frame.BranchBorn[g] <= frame.BestStep) {
    frame.Retained.emplace_back(g, TakeBranch(frame, g));
    return;
  }
  TGroupRow& row = frame.Groups.Row(g);
  records_.FreeBranch(row.Branch);
  row.Branch = nullptr;
}

void TSplitSearch::CollectBest(TFrame& frame) {
  frame.Best.clear();
  if (frame.BestStep < 0) return;
  // The best partition: the retained branches and the live rows' branches that were already
  // there at BestStep, one per group, in group order.
  for (int32_t g = 1; g; g = frame.NextLive[g]) {
    if (frame.BranchBorn[g] <= frame.BestStep) frame.Retained.emplace_back(g, TakeBranch(frame, g));
  }
  std::sort(frame.Retained.begin(), frame.Retained.end());
  for (const auto& retained : frame.Retained) frame.Best.push_back(retained.second);
  frame.Retained.clear();
}

void TSplitSearch::EvaluateNumericPair(TFrame& frame, int32_t left) {
  EvaluatePair(frame, frame.Pairs[left], left, frame.NextLive[left]);
}

bool TSplitSearch::DeltasAreFinite(const TFrame& frame) const {
  // Means, dispersions and their weighted sums over at most 500 such values stay far from
  // overflow, so no Delta is infinite or NaN.
  constexpr double kModerate = 1e100;
  for (int32_t object : frame.Groups.KnownObjects) {
    if (!(std::fabs(run_.TargetValue[object]) <= kModerate)) return false;
  }
  return true;
}

void TSplitSearch::RunMergeSequence(TFrame& frame) {
  const int32_t v = frame.Groups.GroupCount;
  const TTargetDescription& target = run_.Target;
  if (frame.Kind == ftNumeric) {
    // Slots are ranked without rescoring when the score's shape allows it; see TPairRanking.
    frame.UseRanking = true;
    if (target.DispersionWeight == 0) {
      // Last-level branches are single leaves, so every slot changes the leaves alike.
      const bool rising = frame.Depth >= run_.LookAhead && target.ErrorWeight > 0;
      frame.Ranking.Reset(
          rising ? TPairRanking::TMode::ByCountsRising : TPairRanking::TMode::ByCounts, v + 1);
    } else if (target.ErrorWeight == 0 && target.DispersionWeight > 0 && run_.RootDispersion > 0) {
      // Last-level branches are single leaves, so every slot changes the leaves alike.
      const bool oneBucket = frame.Depth >= run_.LookAhead && DeltasAreFinite(frame);
      frame.Ranking.Reset(oneBucket ? TPairRanking::TMode::ByDispersionOneBucket
                                    : TPairRanking::TMode::ByDispersion,
                          v + 1);
    } else {
      frame.UseRanking = false;
    }
    frame.Pairs.assign(v + 1, TPairSlot{});
    for (int32_t l = 1; l < v; ++l) EvaluateNumericPair(frame, l);
    if (frame.UseRanking) {
      for (int32_t l = 1; l < v; ++l) frame.Ranking.Insert(l, frame.Pairs[l].Key);
    }
  } else {
    frame.UseRanking = false;
    frame.Pairs.resize(static_cast<size_t>(v) * (v - 1) / 2);
    size_t s = 0;
    for (int32_t l = 1; l < v; ++l) {
      for (int32_t m = l + 1; m <= v; ++m) EvaluatePair(frame, frame.Pairs[s++], l, m);
    }
    for (TPairSlot& slot : frame.Pairs) slot.Score = ScoreOfKey(frame, slot.Key);
  }

  for (;;) {
    double score = 0.0;
    const int32_t chosen = FindBestPair(frame, score);
    if (chosen < 0) return;
    TPairSlot merged = frame.Pairs[chosen];
    const int32_t r = merged.L;
    const int32_t q = merged.M;
    frame.Totals = TotalsAfter(frame, merged.Key);
    if (frame.Kind == ftNumeric && frame.UseRanking) {
      // The slots whose groups change leave the ranking.
      frame.Ranking.Remove(r, frame.Pairs[r].Key);
      if (frame.NextLive[q]) frame.Ranking.Remove(q, frame.Pairs[q].Key);
      const int32_t before = frame.PrevLive[r];
      if (before) frame.Ranking.Remove(before, frame.Pairs[before].Key);
    }
    frame.Pairs[chosen].Branch = nullptr;  // the merged group's row takes the branch over

    ++frame.Step;
    // Ties go to the later partition, the one with fewer groups. The branches of R and Q then
    // belong to no partition that can still be the best: they go at once.
    const bool best = score <= frame.BestScore;
    MergeGroups(frame, r, q, merged, !best);
    if (best) KeepAsBest(frame, score);
    if (frame.LiveCount == 2) return;
    if (frame.Kind == ftNumeric) {
      UpdateNumericPairs(frame, r, q);
    } else {
      UpdateNominalPairs(frame, r, q);
    }
  }
}

void TSplitSearch::MergeGroups(TFrame& frame, int32_t r, int32_t q, const TPairSlot& merged,
                               bool keepBest) {
  TValueGroups& groups = frame.Groups;
  RetireBranch(frame, r, keepBest);
  RetireBranch(frame, q, keepBest);
  TGroupRow& rowR = groups.Row(r);
  TGroupRow& rowQ = groups.Row(q);
  rowR.Branch = merged.Branch;
  frame.BranchBorn[r] = frame.Step;

  if (frame.Kind == ftNumeric) {
    groups.Threshold[r] = groups.Threshold[q];  // the boundary between R and Q is dropped
  } else {
    rowR.Values.insert(rowR.Values.end(), rowQ.Values.begin(), rowQ.Values.end());
  }
  if (frame.Depth >= run_.LookAhead) {
    // Last-level groups only test their members in any order: Q's chain is appended to R's.
    frame.ChainNext[frame.ChainLast[r]] = q;
    frame.ChainLast[r] = frame.ChainLast[q];
  } else {
    frame.MergedMembers.resize(rowR.Members.size() + rowQ.Members.size());
    std::merge(rowR.Members.begin(), rowR.Members.end(), rowQ.Members.begin(), rowQ.Members.end(),
               frame.MergedMembers.begin());
    rowR.Members.swap(frame.MergedMembers);
  }
  AddClassCounts(rowR.ClassCount, rowQ.ClassCount);
  rowR.Grown = merged.Grown;
  // The slot was evaluated from these very rows: its union's mean and spread are theirs pooled.
  rowR.Spread = merged.Spread;
  rowR.Mean = merged.Mean;
  rowR.Count += rowQ.Count;

  // Q leaves the live list; the groups after it are now one place further forward.
  const int32_t before = frame.PrevLive[q];
  const int32_t after = frame.NextLive[q];
  if (before) frame.NextLive[before] = after;
  if (after) frame.PrevLive[after] = before;
  frame.NextLive[q] = frame.PrevLive[q] = 0;
  --frame.LiveCount;
}

void TSplitSearch::UpdateNumericPairs(TFrame& frame, int32_t r, int32_t q) {
  // Q's old pair with its right neighbour is gone; R's pairs with both neighbours are new.
  records_.FreeBranch(frame.Pairs[q].Branch);
  frame.Pairs[q] = TPairSlot{};
  const int32_t before = frame.PrevLive[r];
  if (before) {
    records_.FreeBranch(frame.Pairs[before].Branch);
    EvaluateNumericPair(frame, before);
  }
  if (frame.NextLive[r]) {
    EvaluateNumericPair(frame, r);
  } else {
    frame.Pairs[r] = TPairSlot{};
  }
  if (frame.UseRanking) {
    if (before) frame.Ranking.Insert(before, frame.Pairs[before].Key);
    if (frame.NextLive[r]) frame.Ranking.Insert(r, frame.Pairs[r].Key);
  }
}

void TSplitSearch::UpdateNominalPairs(TFrame& frame, int32_t r, int32_t q) {
  for (TPairSlot& slot : frame.Pairs) {
    if (slot.Free) continue;
    if (slot.L == r || slot.L == q || slot.M == r || slot.M == q) {
      records_.FreeBranch(slot.Branch);
      slot.Branch = nullptr;
      slot.Free = true;
      slot.Score = kMissingScore;
      continue;
    }
    slot.Score = ScoreOfKey(frame, slot.Key);
  }
  // The new pairs with R, in group order, take the free slots in ascending order.
  size_t next = 0;
  auto store = [&](int32_t l, int32_t m) {
    while (!frame.Pairs[next].Free) ++next;
    TPairSlot& slot = frame.Pairs[next];
    EvaluatePair(frame, slot, l, m);
    slot.Score = ScoreOfKey(frame, slot.Key);
  };
  // Group 1 is never merged away (a merge removes the later group), so the live list starts there.
  for (int32_t l = 1; l != r; l = frame.NextLive[l]) store(l, r);
  for (int32_t m = frame.NextLive[r]; m; m = frame.NextLive[m]) store(r, m);
}

}  // namespace tarvo
