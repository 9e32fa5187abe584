// SearchSplit, EvaluateBranch and the merge sequence of value groups.
#include "split_search.h"

#include <algorithm>

#include "criteria.h"

namespace tarvo {

TSplitSearch::TFrame& TSplitSearch::FrameAt(int32_t depth) {
  while (static_cast<int32_t>(frames_.size()) <= depth) frames_.push_back(std::make_unique<TFrame>());
  return *frames_[depth];
}

TSearchResult TSplitSearch::SearchSplit(TNodeRec& node, const int32_t* objects, int32_t n,
                                        TFeatureMask mask, int32_t depth,
                                        int32_t excludedFeature) {
  ++depth;
  TFrame& frame = FrameAt(depth);
  frame.Node = &node;
  frame.Objects = objects;
  frame.N = n;
  frame.Mask = mask;
  frame.Depth = depth;
  frame.Excluded = excludedFeature;

  TSearchResult result;
  const int32_t classes = run_.C();
  node.ClassCount.fill(0);
  if (classes > 0) {
    for (int32_t i = 0; i < n; ++i) ++node.ClassCount[run_.TargetClass[objects[i]]];
  }
  result.Errors = MajorityErrors(node.ClassCount, classes);
  const double errorFrequency = static_cast<double>(result.Errors) / n;
  node.Mean = NodeMean(run_, objects, n);
  node.Dispersion = NodeDispersion(run_, objects, n, node.Mean);
  node.ObjectCount = n;
  result.WithinDispersion = node.Dispersion;
  if (excludedFeature == 0) run_.RootDispersion = node.Dispersion;
  node.Terminal = IsHomogeneous(run_, n, errorFrequency, node.Dispersion, node.Mean);
  result.Leaves = 1;
  node.FirstBranch = nullptr;
  node.Feature = 0;
  result.Score = SplitScore(run_, 1, 0.0, node.Dispersion, errorFrequency, n);
  if (node.Terminal) return result;

  for (int32_t f = 1; f <= run_.M(); ++f) {
    if (!frame.Mask[f] || f == excludedFeature) continue;
    // The feature is off while its own groups are evaluated; a non-candidate stays off for the
    // rest of this search, so the look-ahead below later features does not use it either.
    frame.Mask[f] = false;
    BuildValueGroups(run_, objects, n, f, frame.Groups);
    const int32_t v = frame.Groups.GroupCount;
    const int32_t w = frame.Groups.KnownCount;
    if (v < 2 || w == 0 || static_cast<double>(n - w) / n >= 0.5) continue;

    EvaluateFeature(frame, f);
    RecordFeatureScores(frame, result.Score);
    if (!frame.Best.empty() && frame.BestScore < result.Score) {
      result.Score = frame.BestScore;
      result.Errors = frame.BestJ;
      result.Leaves = frame.BestI;
      result.WithinDispersion = frame.BestK;
      run_.Records.FreeBranchList(node.FirstBranch);
      // The node takes over the best partition's references, linked in group order.
      for (size_t i = 0; i + 1 < frame.Best.size(); ++i) frame.Best[i]->Next = frame.Best[i + 1];
      frame.Best.back()->Next = nullptr;
      node.FirstBranch = frame.Best.front();
      node.Feature = f;
      frame.Best.clear();
    }
    ReleaseFeatureState(frame);
  }
  return result;
}

void TSplitSearch::EvaluateFeature(TFrame& frame, int32_t f) {
  TValueGroups& groups = frame.Groups;
  const int32_t v = groups.GroupCount;
  frame.Feature = f;
  frame.Kind = run_.Table.FeatureType[f];
  frame.KnownCount = groups.KnownCount;
  frame.Pairs.clear();
  frame.Best.clear();
  frame.BestScore = kMissingScore;

  // The initial partition: one group per distinct value.
  TPairSlot evaluated;
  for (int32_t g = 1; g <= v; ++g) {
    EvaluateBranch(frame, g, g, evaluated);
    TGroupRow& row = groups.Row(g);
    row.Branch = evaluated.Branch;
    row.Errors = evaluated.Errors;
    row.Leaves = evaluated.Leaves;
    row.WithinDispersion = evaluated.Dispersion;
  }
  frame.I = 0;
  frame.J = 0;
  frame.K = 0.0;
  for (int32_t g = 1; g <= v; ++g) {
    const TGroupRow& row = groups.Row(g);
    frame.I += row.Leaves;
    frame.J += row.Errors;
    frame.K += static_cast<double>(row.Count) * row.WithinDispersion;
  }
  frame.K = frame.K / frame.KnownCount;
  const double initialScore =
      SplitScore(run_, frame.I, run_.FeatureCost[f], frame.K,
                 static_cast<double>(frame.J) / frame.KnownCount, frame.N);

  // From here on the unions are grown with f allowed; only their first level avoids it.
  frame.Mask[f] = true;
  if (initialScore <= kMissingScore) KeepAsBest(frame, initialScore);
  if (v > 2) RunMergeSequence(frame);
}

void TSplitSearch::EvaluateBranch(TFrame& frame, int32_t a, int32_t b, TPairSlot& result) {
  const TValueGroups& groups = frame.Groups;
  const TGroupRow& rowA = groups.Row(a);
  const TGroupRow& rowB = groups.Row(b);

  // The union's objects in the order of the node's list.
  std::vector<int32_t>& objects = frame.BranchObjects;
  objects.clear();
  if (a == b) {
    for (int32_t position : rowA.Members) objects.push_back(groups.KnownObjects[position]);
  } else {
    frame.MergedMembers.resize(rowA.Members.size() + rowB.Members.size());
    std::merge(rowA.Members.begin(), rowA.Members.end(), rowB.Members.begin(), rowB.Members.end(),
               frame.MergedMembers.begin());
    for (int32_t position : frame.MergedMembers) objects.push_back(groups.KnownObjects[position]);
  }
  const int32_t u = static_cast<int32_t>(objects.size());

  TClassCounts counts = rowA.ClassCount;
  if (a != b) {
    for (int32_t c = 1; c <= run_.C(); ++c) counts[c] += rowB.ClassCount[c];
  }
  const int32_t errors = MajorityErrors(counts, run_.C());
  double mean = rowA.Mean;
  double dispersion = rowA.Spread;
  if (a != b) {
    mean = PooledMean(rowA.Count, rowA.Mean, rowB.Count, rowB.Mean);
    dispersion = PooledDispersion(rowA.Count, rowA.Mean, rowA.Spread, rowB.Count, rowB.Mean,
                                  rowB.Spread, mean);
  }

  TBranchRec* branch = run_.Records.NewBranch();
  TRecordStore::Share(branch);
  branch->Kind = frame.Kind;
  if (frame.Kind == ftNominal) {
    branch->Values = rowA.Values;
    if (a != b) branch->Values.insert(branch->Values.end(), rowB.Values.begin(), rowB.Values.end());
  } else {
    branch->Low = groups.Threshold[a - 1];
    branch->High = groups.Threshold[b];
  }
  TNodeRec* child = run_.Records.NewNode();
  branch->Child = child;

  // The error frequency of a branch is taken over the node being split, not over the branch.
  const bool stop =
      IsHomogeneous(run_, u, static_cast<double>(errors) / frame.N, dispersion, mean) ||
      IsUnsplittable(run_, objects.data(), u, frame.Mask, frame.Excluded);

  result.Branch = branch;
  result.Count = u;
  if (stop || frame.Depth >= run_.LookAhead) {
    result.Errors = errors;
    result.Dispersion = dispersion;
    result.Leaves = 1;
    child->FirstBranch = nullptr;
    child->Feature = 0;
    child->ClassCount = counts;
    child->Dispersion = dispersion;
    child->Mean = mean;
    child->ObjectCount = u;
    child->Terminal = stop;
    return;
  }
  const TSearchResult grown =
      SearchSplit(*child, objects.data(), u, frame.Mask, frame.Depth, frame.Feature);
  result.Errors = grown.Errors;
  result.Dispersion = grown.WithinDispersion;
  result.Leaves = grown.Leaves;
}

double TSplitSearch::ScoreMerge(const TFrame& frame, const TPairSlot& slot) const {
  const TGroupRow& rowL = frame.Groups.Row(slot.L);
  const TGroupRow& rowM = frame.Groups.Row(slot.M);
  const int32_t leaves = frame.I - rowL.Leaves - rowM.Leaves + slot.Leaves;
  const double within =
      frame.K - (static_cast<double>(rowL.Count) * rowL.WithinDispersion +
                 static_cast<double>(rowM.Count) * rowM.WithinDispersion -
                 static_cast<double>(slot.Count) * slot.Dispersion) /
                    frame.KnownCount;
  const int32_t errors = frame.J - rowL.Errors - rowM.Errors + slot.Errors;
  return SplitScore(run_, leaves, run_.FeatureCost[frame.Feature], within,
                    static_cast<double>(errors) / frame.KnownCount, frame.N);
}

int32_t TSplitSearch::FindBestPair(const TFrame& frame) const {
  // The lowest score, ties to the lowest slot. A free slot is never chosen: it holds no pair.
  int32_t best = -1;
  for (int32_t s = 0; s < static_cast<int32_t>(frame.Pairs.size()); ++s) {
    const TPairSlot& slot = frame.Pairs[s];
    if (slot.Free) continue;
    if (best < 0 || slot.Score < frame.Pairs[best].Score) best = s;
  }
  return best;
}

void TSplitSearch::KeepAsBest(TFrame& frame, double score) {
  for (TBranchRec* b : frame.Best) run_.Records.Release(b);
  frame.Best.clear();
  for (int32_t g = 1; g <= frame.Groups.GroupCount; ++g) {
    TBranchRec* b = frame.Groups.Row(g).Branch;
    TRecordStore::Share(b);
    frame.Best.push_back(b);
  }
  frame.BestScore = score;
  frame.BestI = frame.I;
  frame.BestJ = frame.J;
  frame.BestK = frame.K;
}

void TSplitSearch::RunMergeSequence(TFrame& frame) {
  TValueGroups& groups = frame.Groups;
  const int32_t v = groups.GroupCount;
  if (frame.Kind == ftNumeric) {
    frame.Pairs.resize(v - 1);
    for (int32_t l = 1; l < v; ++l) {
      TPairSlot& slot = frame.Pairs[l - 1];
      slot.L = l;
      slot.M = l + 1;
      slot.Free = false;
      EvaluateBranch(frame, l, l + 1, slot);
    }
  } else {
    frame.Pairs.resize(static_cast<size_t>(v) * (v - 1) / 2);
    size_t s = 0;
    for (int32_t l = 1; l < v; ++l) {
      for (int32_t m = l + 1; m <= v; ++m) {
        TPairSlot& slot = frame.Pairs[s++];
        slot.L = l;
        slot.M = m;
        slot.Free = false;
        EvaluateBranch(frame, l, m, slot);
      }
    }
  }
  for (TPairSlot& slot : frame.Pairs) slot.Score = ScoreMerge(frame, slot);

  for (;;) {
    const int32_t chosen = FindBestPair(frame);
    if (chosen < 0) return;
    TPairSlot merged = frame.Pairs[chosen];
    frame.Pairs[chosen].Branch = nullptr;  // the merged group's row takes the branch over
    const int32_t r = merged.L;
    const int32_t q = merged.M;
    const TGroupRow& rowR = groups.Row(r);
    const TGroupRow& rowQ = groups.Row(q);
    frame.J = frame.J - rowR.Errors - rowQ.Errors + merged.Errors;
    frame.K = frame.K - (static_cast<double>(rowR.Count) * rowR.WithinDispersion +
                         static_cast<double>(rowQ.Count) * rowQ.WithinDispersion -
                         static_cast<double>(merged.Count) * merged.Dispersion) /
                            frame.KnownCount;
    frame.I = frame.I - rowR.Leaves - rowQ.Leaves + merged.Leaves;

    MergeGroups(frame, r, q, merged);
    // Ties go to the later partition, the one with fewer groups.
    if (merged.Score <= frame.BestScore) KeepAsBest(frame, merged.Score);
    if (groups.GroupCount == 2) return;
    if (frame.Kind == ftNumeric) {
      UpdateNumericPairs(frame, r);
    } else {
      UpdateNominalPairs(frame, r, q);
    }
  }
}

void TSplitSearch::MergeGroups(TFrame& frame, int32_t r, int32_t q, const TPairSlot& merged) {
  TValueGroups& groups = frame.Groups;
  TGroupRow& rowR = groups.Row(r);
  TGroupRow& rowQ = groups.Row(q);
  run_.Records.Release(rowR.Branch);
  run_.Records.Release(rowQ.Branch);
  rowQ.Branch = nullptr;
  rowR.Branch = merged.Branch;

  if (frame.Kind == ftNumeric) {
    groups.Threshold.erase(groups.Threshold.begin() + r);
  } else {
    rowR.Values.insert(rowR.Values.end(), rowQ.Values.begin(), rowQ.Values.end());
  }
  frame.MergedMembers.resize(rowR.Members.size() + rowQ.Members.size());
  std::merge(rowR.Members.begin(), rowR.Members.end(), rowQ.Members.begin(), rowQ.Members.end(),
             frame.MergedMembers.begin());
  rowR.Members.swap(frame.MergedMembers);
  for (int32_t c = 1; c <= run_.C(); ++c) rowR.ClassCount[c] += rowQ.ClassCount[c];
  rowR.Errors = merged.Errors;
  rowR.Leaves = merged.Leaves;
  const double mean = PooledMean(rowR.Count, rowR.Mean, rowQ.Count, rowQ.Mean);
  rowR.Spread = PooledDispersion(rowR.Count, rowR.Mean, rowR.Spread, rowQ.Count, rowQ.Mean,
                                 rowQ.Spread, mean);
  rowR.Mean = mean;
  rowR.Count += rowQ.Count;
  rowR.WithinDispersion = merged.Dispersion;

  // The rows after Q move down one place; Q's row storage goes to the end for reuse.
  std::rotate(groups.Rows.begin() + (q - 1), groups.Rows.begin() + q,
              groups.Rows.begin() + groups.GroupCount);
  --groups.GroupCount;
}

void TSplitSearch::UpdateNumericPairs(TFrame& frame, int32_t r) {
  const int32_t v = frame.Groups.GroupCount;
  // Old slot r (the merged pair) is gone; old slots after it move down one place.
  frame.Pairs.erase(frame.Pairs.begin() + (r - 1));
  for (int32_t s = 1; s < v; ++s) {
    TPairSlot& slot = frame.Pairs[s - 1];
    slot.L = s;
    slot.M = s + 1;
  }
  if (r > 1) {
    TPairSlot& left = frame.Pairs[r - 2];
    run_.Records.Release(left.Branch);
    EvaluateBranch(frame, r - 1, r, left);
  }
  if (r < v) {
    TPairSlot& right = frame.Pairs[r - 1];
    run_.Records.Release(right.Branch);
    EvaluateBranch(frame, r, r + 1, right);
  }
  for (TPairSlot& slot : frame.Pairs) slot.Score = ScoreMerge(frame, slot);
}

void TSplitSearch::UpdateNominalPairs(TFrame& frame, int32_t r, int32_t q) {
  const int32_t v = frame.Groups.GroupCount;
  for (TPairSlot& slot : frame.Pairs) {
    if (slot.Free) continue;
    if (slot.L == r || slot.L == q || slot.M == r || slot.M == q) {
      run_.Records.Release(slot.Branch);
      slot.Branch = nullptr;
      slot.Free = true;
      slot.Score = kMissingScore;
      continue;
    }
    if (slot.L > q) --slot.L;
    if (slot.M > q) --slot.M;
    slot.Score = ScoreMerge(frame, slot);
  }
  // The new pairs with R take the free slots in ascending order.
  size_t next = 0;
  auto store = [&](int32_t l, int32_t m) {
    while (!frame.Pairs[next].Free) ++next;
    TPairSlot& slot = frame.Pairs[next];
    slot.L = l;
    slot.M = m;
    slot.Free = false;
    EvaluateBranch(frame, l, m, slot);
    slot.Score = ScoreMerge(frame, slot);
  };
  for (int32_t l = 1; l < r; ++l) store(l, r);
  for (int32_t m = r + 1; m <= v; ++m) store(r, m);
}

void TSplitSearch::CreditFeature(int32_t g, double score) {
  if (run_.FeatureScore[g] == kMissingScore) run_.FeatureScore[g] = 0;
  run_.FeatureScoreCount[g] += 1;
  run_.FeatureScore[g] += score;
}

void TSplitSearch::CreditSplits(const TNodeRec& node, double score) {
  if (!node.FirstBranch) return;
  CreditFeature(node.Feature, score);
  for (const TBranchRec* b = node.FirstBranch; b; b = b->Next) CreditSplits(*b->Child, score);
}

void TSplitSearch::RecordFeatureScores(TFrame& frame, double nodeScore) {
  if (frame.BestScore == kMissingScore) {
    CreditFeature(frame.Feature, nodeScore);
    return;
  }
  // Every split inside the best partition is credited with the feature's score, not its own.
  CreditFeature(frame.Feature, frame.BestScore);
  for (const TBranchRec* b : frame.Best) CreditSplits(*b->Child, frame.BestScore);
}

void TSplitSearch::ReleaseFeatureState(TFrame& frame) {
  for (int32_t g = 1; g <= frame.Groups.GroupCount; ++g) {
    TGroupRow& row = frame.Groups.Row(g);
    run_.Records.Release(row.Branch);
    row.Branch = nullptr;
  }
  for (TPairSlot& slot : frame.Pairs) {
    run_.Records.Release(slot.Branch);
    slot.Branch = nullptr;
  }
  frame.Pairs.clear();
  for (TBranchRec* b : frame.Best) run_.Records.Release(b);
  frame.Best.clear();
}

}  // namespace tarvo
