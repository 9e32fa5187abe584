// The general merge sequence: the initial partition, the pair table, and the merges of the best
// pair until two groups are left.
#include "merge_sequence.h"

#include <algorithm>

#include "criteria.h"
#include "group_branches.h"

namespace tarvo {

void TMergeSequence::EvaluateFeature(TSearchFrame& frame, int32_t f) {
  TGroupTable& groups = frame.Groups;
  const int32_t v = groups.GroupCount;
  frame.Feature = f;
  frame.Kind = run_.Table.FeatureType[f];
  frame.Pairs.Clear();
  frame.Best.Restart();
  groups.Step = 0;
  groups.ResetLive();

  // The initial partition: one group per distinct value.
  TPairSlot evaluated;
  for (int32_t g = 1; g <= v; ++g) {
    EvaluateBranch(frame, g, g, evaluated);
    TGroupRow& row = groups.Row(g);
    row.Branch = evaluated.Branch;
    row.Grown = evaluated.Grown;
  }
  TTreeFigures& totals = frame.Totals;
  totals = TTreeFigures{};
  for (int32_t g = 1; g <= v; ++g) {
    const TGroupRow& row = groups.Row(g);
    totals.Leaves += row.Grown.Leaves;
    totals.Errors += row.Grown.Errors;
    totals.Dispersion += static_cast<double>(row.Count) * row.Grown.Dispersion;
  }
  totals.Dispersion = totals.Dispersion / groups.KnownCount;
  const double initialScore =
      SplitScore(run_, totals.Leaves, run_.FeatureCost[f], totals.Dispersion,
                 static_cast<double>(totals.Errors) / groups.KnownCount, frame.N);

  // From here on the unions are grown with f allowed; only their first level avoids it.
  frame.Mask[f] = true;
  if (initialScore <= kMissingScore) KeepAsBest(frame, initialScore);
  if (v > 2) Run(frame);
  CollectBest(frame);
}

void TMergeSequence::EvaluateBranch(TSearchFrame& frame, int32_t a, int32_t b, TPairSlot& result) {
  const TGroupTable& groups = frame.Groups;
  const TGroupRow& rowA = groups.Row(a);
  const TGroupRow& rowB = groups.Row(b);

  // The union's objects in the order of the node's list; a leaf needs no list of its own.
  const bool leafLevel = frame.LastLevel(run_);
  const int32_t u = a == b ? rowA.Count : rowA.Count + rowB.Count;
  if (!leafLevel) CollectUnionObjects(frame, a, b);

  const int32_t errors = a == b ? MajorityErrors(rowA.ClassCount, run_.C())
                                : UnionMajorityErrors(rowA.ClassCount, rowB.ClassCount, run_.C());
  double mean = rowA.Mean;
  double dispersion = rowA.Spread;
  if (a != b) {
    mean = PooledMean(rowA.Count, rowA.Mean, rowB.Count, rowB.Mean);
    dispersion = PooledDispersion(rowA.Count, rowA.Mean, rowA.Spread, rowB.Count, rowB.Mean,
                                  rowB.Spread, mean);
  }

  result.Count = u;
  result.Mean = mean;
  result.Spread = dispersion;
  if (leafLevel) {
    // A last-level branch is one leaf whose figures its group's row holds once it is merged;
    // its record is made only if it belongs to the best partition (MakeLastLevelBranch).
    result.Branch = nullptr;
    result.Grown = TTreeFigures{1, errors, dispersion};
    return;
  }

  TBranchRec* branch = MakeUnionBranch(frame, a, b);
  TNodeRec* child = branch->Child;
  const std::vector<int32_t>& objects = frame.Scratch.UnionObjects;

  // The error frequency of a branch is taken over the node being split, not over the branch.
  const bool stop =
      IsHomogeneous(run_, u, static_cast<double>(errors) / frame.N, dispersion, mean) ||
      IsUnsplittable(run_, objects.data(), u, frame.Mask, frame.Excluded);

  result.Branch = branch;
  if (stop) {
    result.Grown = TTreeFigures{1, errors, dispersion};
    child->FirstBranch = nullptr;
    child->Feature = 0;
    child->ClassCount = rowA.ClassCount;
    if (a != b) AddClassCounts(child->ClassCount, rowB.ClassCount);
    child->Dispersion = dispersion;
    child->Mean = mean;
    child->ObjectCount = u;
    child->Terminal = true;
    return;
  }
  result.Grown =
      below_.SearchUnion(*child, objects.data(), u, frame.Mask, frame.Depth, frame.Feature).Figures;
}

void TMergeSequence::CollectUnionObjects(TSearchFrame& frame, int32_t a, int32_t b) {
  const TGroupTable& groups = frame.Groups;
  const TGroupRow& rowA = groups.Row(a);
  const TGroupRow& rowB = groups.Row(b);
  std::vector<int32_t>& objects = frame.Scratch.UnionObjects;
  objects.clear();
  if (a == b) {
    for (int32_t position : rowA.Members) objects.push_back(groups.KnownObjects[position]);
    return;
  }
  std::vector<int32_t>& merged = frame.Scratch.MergedMembers;
  merged.resize(rowA.Members.size() + rowB.Members.size());
  std::merge(rowA.Members.begin(), rowA.Members.end(), rowB.Members.begin(), rowB.Members.end(),
             merged.begin());
  for (int32_t position : merged) objects.push_back(groups.KnownObjects[position]);
}

TBranchRec* TMergeSequence::MakeUnionBranch(const TSearchFrame& frame, int32_t a, int32_t b) {
  const TGroupTable& groups = frame.Groups;
  TBranchRec* branch = records_.NewBranch();
  branch->Kind = frame.Kind;
  if (frame.Kind == ftNominal) {
    const TGroupRow& rowB = groups.Row(b);
    branch->Values = groups.Row(a).Values;
    if (a != b) branch->Values.insert(branch->Values.end(), rowB.Values.begin(), rowB.Values.end());
  } else {
    // A live group's lower bound is the upper bound of the live group before it.
    branch->Low = groups.Threshold[groups.PrevLive[a]];
    branch->High = groups.Threshold[b];
    branch->OpenBelow = groups.PrevLive[a] == 0;
    branch->OpenAbove = groups.NextLive[b] == 0;  // b may have taken in the last group
  }
  branch->Child = records_.NewNode();
  return branch;
}

TPairKey TMergeSequence::KeyOf(const TSearchFrame& frame, const TPairSlot& slot) const {
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

void TMergeSequence::EvaluatePair(TSearchFrame& frame, int32_t s, int32_t l, int32_t m) {
  TPairSlot& slot = frame.Pairs[s];
  slot.L = l;
  slot.M = m;
  slot.Free = false;
  EvaluateBranch(frame, l, m, slot);
  // The rows of L and M stay as they are while the slot holds their pair, and so does its key.
  frame.Pairs.SetKey(s, KeyOf(frame, slot));
}

void TMergeSequence::EvaluateNumericPair(TSearchFrame& frame, int32_t left) {
  EvaluatePair(frame, left, left, frame.Groups.NextLive[left]);
}

int32_t TMergeSequence::FindBestPair(const TSearchFrame& frame, double& score) const {
  // The lowest score, ties to the lowest slot. A free slot is never chosen: it holds no pair.
  const TPairTable& pairs = frame.Pairs;
  int32_t best = -1;
  if (pairs.Ranked()) {
    best = pairs.BestRanked([&](const TPairKey& key) { return ScoreOfKey(run_, frame, key); });
    if (best >= 0) score = ScoreOfKey(run_, frame, pairs[best].Key);
    return best;
  }
  if (frame.Kind == ftNumeric) {
    const std::vector<int32_t>& next = frame.Groups.NextLive;
    for (int32_t g = 1; g; g = next[g]) {
      if (!next[g]) break;
      const double s = ScoreOfKey(run_, frame, pairs[g].Key);
      if (best < 0 || s < score) {
        best = g;
        score = s;
      }
    }
    return best;
  }
  for (int32_t s = 0; s < pairs.Size(); ++s) {
    const TPairSlot& slot = pairs[s];
    if (slot.Free) continue;
    if (best < 0 || slot.Score < score) {
      best = s;
      score = slot.Score;
    }
  }
  return best;
}

void TMergeSequence::LayOutPairs(TSearchFrame& frame) {
  const int32_t v = frame.Groups.GroupCount;
  const TTargetDescription& target = run_.Target;
  if (frame.Kind == ftNominal) {
    frame.Pairs.StartUnranked(static_cast<size_t>(v) * (v - 1) / 2);
    int32_t s = 0;
    for (int32_t l = 1; l < v; ++l) {
      for (int32_t m = l + 1; m <= v; ++m) EvaluatePair(frame, s++, l, m);
    }
    for (TPairSlot& slot : frame.Pairs) slot.Score = ScoreOfKey(run_, frame, slot.Key);
    return;
  }
  // Slots are ranked without rescoring when the score's shape allows it; see TPairRanking.
  // Last-level branches are single leaves, so every slot changes the leaves alike.
  const bool lastLevel = frame.LastLevel(run_);
  if (target.DispersionWeight == 0) {
    const bool rising = lastLevel && target.ErrorWeight > 0;
    frame.Pairs.StartRanked(
        v + 1, rising ? TPairRanking::TMode::ByCountsRising : TPairRanking::TMode::ByCounts);
  } else if (target.ErrorWeight == 0 && target.DispersionWeight > 0 && run_.RootDispersion > 0) {
    const bool oneBucket = lastLevel && DeltasAreFinite(run_, frame);
    frame.Pairs.StartRanked(v + 1, oneBucket ? TPairRanking::TMode::ByDispersionOneBucket
                                             : TPairRanking::TMode::ByDispersion);
  } else {
    frame.Pairs.StartUnranked(v + 1);
  }
  for (int32_t l = 1; l < v; ++l) EvaluateNumericPair(frame, l);
}

void TMergeSequence::Run(TSearchFrame& frame) {
  LayOutPairs(frame);
  for (;;) {
    double score = 0.0;
    const int32_t chosen = FindBestPair(frame, score);
    if (chosen < 0) return;
    const TPairSlot merged = frame.Pairs[chosen];
    frame.Totals = TotalsAfter(frame, merged.Key);
    frame.Pairs[chosen].Branch = nullptr;  // the merged group's row takes the branch over

    ++frame.Groups.Step;
    // Ties go to the later partition, the one with fewer groups. The branches of R and Q then
    // belong to no partition that can still be the best: they go at once.
    const bool best = score <= frame.Best.Score;
    MergeGroups(frame, merged.L, merged.M, merged, !best);
    if (best) KeepAsBest(frame, score);
    if (frame.Groups.LiveCount == 2) return;
    if (frame.Kind == ftNumeric) {
      UpdateNumericPairs(frame, merged.L, merged.M);
    } else {
      UpdateNominalPairs(frame, merged.L, merged.M);
    }
  }
}

void TMergeSequence::MergeGroups(TSearchFrame& frame, int32_t r, int32_t q, const TPairSlot& merged,
                                 bool keepBest) {
  TGroupTable& groups = frame.Groups;
  RetireBranch(frame, r, keepBest);
  RetireBranch(frame, q, keepBest);
  TGroupRow& rowR = groups.Row(r);
  TGroupRow& rowQ = groups.Row(q);
  rowR.Branch = merged.Branch;
  groups.BranchBorn[r] = groups.Step;

  if (frame.Kind == ftNumeric) {
    groups.Threshold[r] = groups.Threshold[q];  // the boundary between R and Q is dropped
  } else {
    rowR.Values.insert(rowR.Values.end(), rowQ.Values.begin(), rowQ.Values.end());
  }
  if (frame.LastLevel(run_)) {
    // Last-level groups only test their members in any order: Q's chain is appended to R's.
    groups.Chain(r, q);
  } else {
    std::vector<int32_t>& members = frame.Scratch.MergedMembers;
    members.resize(rowR.Members.size() + rowQ.Members.size());
    std::merge(rowR.Members.begin(), rowR.Members.end(), rowQ.Members.begin(), rowQ.Members.end(),
               members.begin());
    rowR.Members.swap(members);
  }
  AddClassCounts(rowR.ClassCount, rowQ.ClassCount);
  rowR.Grown = merged.Grown;
  // The slot was evaluated from these very rows: its union's mean and spread are theirs pooled.
  rowR.Spread = merged.Spread;
  rowR.Mean = merged.Mean;
  rowR.Count += rowQ.Count;
  groups.Unlink(q);
}

void TMergeSequence::UpdateNumericPairs(TSearchFrame& frame, int32_t r, int32_t q) {
  // Q's old pair with its right neighbour is gone; R's pairs with both neighbours are new.
  TPairTable& pairs = frame.Pairs;
  records_.FreeBranch(pairs[q].Branch);
  pairs.Empty(q);
  const int32_t before = frame.Groups.PrevLive[r];
  if (before) {
    records_.FreeBranch(pairs[before].Branch);
    EvaluateNumericPair(frame, before);
  }
  if (frame.Groups.NextLive[r]) {
    EvaluateNumericPair(frame, r);
  } else {
    pairs.Empty(r);
  }
}

void TMergeSequence::UpdateNominalPairs(TSearchFrame& frame, int32_t r, int32_t q) {
  TPairTable& pairs = frame.Pairs;
  for (TPairSlot& slot : pairs) {
    if (slot.Free) continue;
    if (slot.L == r || slot.L == q || slot.M == r || slot.M == q) {
      records_.FreeBranch(slot.Branch);
      slot.Branch = nullptr;
      slot.Free = true;
      slot.Score = kMissingScore;
      continue;
    }
    slot.Score = ScoreOfKey(run_, frame, slot.Key);
  }
  // The new pairs with R, in group order, take the free slots in ascending order.
  int32_t next = 0;
  auto store = [&](int32_t l, int32_t m) {
    while (!pairs[next].Free) ++next;
    EvaluatePair(frame, next, l, m);
    pairs[next].Score = ScoreOfKey(run_, frame, pairs[next].Key);
  };
  // Group 1 is never merged away (a merge removes the later group), so the live list starts there.
  const std::vector<int32_t>& nextLive = frame.Groups.NextLive;
  for (int32_t l = 1; l != r; l = nextLive[l]) store(l, r);
  for (int32_t m = nextLive[r]; m; m = nextLive[m]) store(r, m);
}

void TMergeSequence::KeepAsBest(TSearchFrame& frame, double score) {
  // The best is now the current partition: the branches kept for the previous one can go.
  TBestPartition& best = frame.Best;
  for (const auto& retained : best.Retained) records_.FreeBranch(retained.second);
  best.Retained.clear();
  best.Step = frame.Groups.Step;
  best.Score = score;
  best.Totals = frame.Totals;
}

void TMergeSequence::RetireBranch(TSearchFrame& frame, int32_t g, bool keepBest) {
  TBestPartition& best = frame.Best;
  if (keepBest && best.Step >= 0 && frame.Groups.BranchBorn[g] <= best.Step) {
    best.Retained.emplace_back(g, TakeBranch(run_, records_, frame, g));
    return;
  }
  TGroupRow& row = frame.Groups.Row(g);
  records_.FreeBranch(row.Branch);
  row.Branch = nullptr;
}

void TMergeSequence::CollectBest(TSearchFrame& frame) {
  TBestPartition& best = frame.Best;
  best.Branches.clear();
  if (best.Step < 0) return;
  // The best partition: the retained branches and the live rows' branches that were already
  // there at its step, one per group, in group order.
  for (int32_t g = 1; g; g = frame.Groups.NextLive[g]) {
    if (frame.Groups.BranchBorn[g] <= best.Step) {
      best.Retained.emplace_back(g, TakeBranch(run_, records_, frame, g));
    }
  }
  std::sort(best.Retained.begin(), best.Retained.end());
  for (const auto& retained : best.Retained) best.Branches.push_back(retained.second);
  best.Retained.clear();
}

}  // namespace tarvo
