// The best two-interval cut of a numeric feature.
#include "binary_cut.h"

#include "criteria.h"

namespace tarvo {

void TBinaryCutSearch::TSide::Add(const TGroupRow& row) {
  if (Count == 0) {
    Mean = row.Mean;
    Spread = row.Spread;
  } else {
    const double mean = PooledMean(Count, Mean, row.Count, row.Mean);
    Spread = PooledDispersion(Count, Mean, Spread, row.Count, row.Mean, row.Spread, mean);
    Mean = mean;
  }
  Count += row.Count;
  AddClassCounts(ClassCount, row.ClassCount);
}

double TBinaryCutSearch::Impurity(const TSide& side) const {
  // The side's objects times its Gini impurity: count - sum of squared class counts / count.
  if (side.Count == 0 || run_.C() == 0) return 0.0;
  double squares = 0.0;
  for (int32_t c = 1; c <= run_.C(); ++c) {
    squares += static_cast<double>(side.ClassCount[c]) * side.ClassCount[c];
  }
  return side.Count - squares / side.Count;
}

void TBinaryCutSearch::EvaluateFeature(TSearchFrame& frame, int32_t f) {
  const TGroupTable& groups = frame.Groups;
  const int32_t v = groups.GroupCount;
  frame.Feature = f;
  frame.Kind = run_.Table.FeatureType[f];
  frame.Pairs.Clear();
  frame.Best.Restart();
  // A side of several values may be split on the feature again further down.
  frame.Mask[f] = true;

  if (static_cast<int32_t>(levels_.size()) <= frame.Depth) levels_.resize(frame.Depth + 1);
  TLevel& level = levels_[frame.Depth];
  level.GroupOfMember.assign(groups.KnownCount, 0);
  level.Upper.assign(v + 2, TSide{});
  for (int32_t g = v; g >= 1; --g) {
    const TGroupRow& row = groups.Row(g);
    for (int32_t position : row.Members) level.GroupOfMember[position] = g;
    level.Upper[g] = level.Upper[g + 1];
    level.Upper[g].Add(row);
  }

  const bool lastLevel = frame.LastLevel(run_);
  const double w = groups.KnownCount;
  TSide lower;
  int32_t bestCut = 0;
  double bestScore = kMissingScore;
  TTreeFigures bestTotals;
  double bestImpurity = 0.0;
  for (int32_t k = 1; k < v; ++k) {
    lower.Add(groups.Row(k));
    const TSide& upper = level.Upper[k + 1];
    TTreeFigures low{1, MajorityErrors(lower.ClassCount, run_.C()), lower.Spread};
    TTreeFigures high{1, MajorityErrors(upper.ClassCount, run_.C()), upper.Spread};
    TBranchRec* lowBranch = nullptr;
    TBranchRec* highBranch = nullptr;
    if (!lastLevel) {
      lowBranch = MakeBranch(frame, level, 1, k, lower, low);
      highBranch = MakeBranch(frame, level, k + 1, v, upper, high);
    }
    const TTreeFigures totals{low.Leaves + high.Leaves, low.Errors + high.Errors,
                              (lower.Count * low.Dispersion + upper.Count * high.Dispersion) / w};
    const double score = SplitScore(run_, totals.Leaves, run_.FeatureCost[f], totals.Dispersion,
                                    static_cast<double>(totals.Errors) / w, frame.N);
    const double impurity = Impurity(lower) + Impurity(upper);
    if ((bestCut == 0 && score <= kMissingScore) || score < bestScore ||
        (score == bestScore && impurity < bestImpurity)) {
      bestImpurity = impurity;
      bestCut = k;
      bestScore = score;
      bestTotals = totals;
      for (TBranchRec* b : frame.Best.Branches) records_.FreeBranch(b);
      frame.Best.Branches.clear();
      if (!lastLevel) frame.Best.Branches = {lowBranch, highBranch};
    } else {
      records_.FreeBranch(lowBranch);
      records_.FreeBranch(highBranch);
    }
  }
  if (bestCut == 0) return;
  if (lastLevel) {
    // Last-level branches are single leaves: only the kept cut's records are made.
    TSide kept;
    for (int32_t g = 1; g <= bestCut; ++g) kept.Add(groups.Row(g));
    TTreeFigures grown;
    frame.Best.Branches.push_back(MakeBranch(frame, level, 1, bestCut, kept, grown));
    frame.Best.Branches.push_back(
        MakeBranch(frame, level, bestCut + 1, v, level.Upper[bestCut + 1], grown));
  }
  frame.Best.Step = 0;
  frame.Best.Score = bestScore;
  frame.Best.Totals = bestTotals;
}

void TBinaryCutSearch::CollectObjects(TSearchFrame& frame, const TLevel& level, int32_t first,
                                      int32_t last) {
  const TGroupTable& groups = frame.Groups;
  std::vector<int32_t>& objects = frame.Scratch.UnionObjects;
  objects.clear();
  for (int32_t position = 0; position < groups.KnownCount; ++position) {
    const int32_t g = level.GroupOfMember[position];
    if (g >= first && g <= last) objects.push_back(groups.KnownObjects[position]);
  }
}

TBranchRec* TBinaryCutSearch::MakeBranch(TSearchFrame& frame, const TLevel& level, int32_t first,
                                         int32_t last, const TSide& side, TTreeFigures& grown) {
  const TGroupTable& groups = frame.Groups;
  TBranchRec* branch = records_.NewBranch();
  branch->Kind = frame.Kind;
  branch->Low = groups.Threshold[first - 1];
  branch->High = groups.Threshold[last];
  branch->OpenBelow = first == 1;
  branch->OpenAbove = last == groups.GroupCount;
  TNodeRec* child = records_.NewNode();
  branch->Child = child;

  CollectObjects(frame, level, first, last);
  const std::vector<int32_t>& objects = frame.Scratch.UnionObjects;
  const int32_t errors = MajorityErrors(side.ClassCount, run_.C());
  grown = TTreeFigures{1, errors, side.Spread};
  // The error frequency of a branch is taken over the node being split, not over the branch.
  const bool stop = IsHomogeneous(run_, side.Count, static_cast<double>(errors) / frame.N,
                                  side.Spread, side.Mean) ||
                    IsUnsplittable(run_, objects.data(), side.Count, frame.Mask, frame.Excluded);
  if (stop || frame.LastLevel(run_)) {
    child->FirstBranch = nullptr;
    child->Feature = 0;
    child->ClassCount = side.ClassCount;
    child->Dispersion = side.Spread;
    child->Mean = side.Mean;
    child->ObjectCount = side.Count;
    child->Terminal = stop;
    return branch;
  }
  grown =
      below_.SearchUnion(*child, objects.data(), side.Count, frame.Mask, frame.Depth, frame.Feature)
          .Figures;
  return branch;
}

}  // namespace tarvo
