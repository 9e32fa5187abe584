// The best two-interval cut of a numeric feature.
#include "binary_cut.h"

#include <algorithm>

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
  return tarvo::Impurity(side.ClassCount, run_.C(), run_.ImpurityMeasure);
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
  OrderGroups(frame, level);
  level.GroupOfMember.assign(groups.KnownCount, 0);
  level.Upper.assign(v + 2, TSide{});
  for (int32_t r = v; r >= 1; --r) {
    const TGroupRow& row = groups.Row(level.Order[r]);
    for (int32_t position : row.Members) level.GroupOfMember[position] = r;
    level.Upper[r] = level.Upper[r + 1];
    level.Upper[r].Add(row);
  }

  const bool lastLevel = frame.LastLevel(run_);
  const double w = groups.KnownCount;
  TSide lower;
  int32_t bestCut = 0;
  double bestScore = kMissingScore;
  TTreeFigures bestTotals;
  double bestImpurity = 0.0;
  for (int32_t k = 1; k < v; ++k) {
    lower.Add(groups.Row(level.Order[k]));
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
    const double impurity = Impurity(lower) + Impurity(upper);
    // Leaves of a search without look-ahead may count their impurity in place of their errors.
    const double misfits =
        run_.ImpurityScores && lastLevel ? impurity : static_cast<double>(totals.Errors);
    const double score = SplitScore(run_, totals.Leaves, run_.FeatureCost[f], totals.Dispersion,
                                    misfits / w, frame.N);
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
    for (int32_t r = 1; r <= bestCut; ++r) kept.Add(groups.Row(level.Order[r]));
    TTreeFigures grown;
    frame.Best.Branches.push_back(MakeBranch(frame, level, 1, bestCut, kept, grown));
    frame.Best.Branches.push_back(
        MakeBranch(frame, level, bestCut + 1, v, level.Upper[bestCut + 1], grown));
  }
  frame.Best.Step = 0;
  frame.Best.Score = bestScore;
  frame.Best.Totals = bestTotals;
}

void TBinaryCutSearch::OrderGroups(const TSearchFrame& frame, TLevel& level) const {
  const TGroupTable& groups = frame.Groups;
  const int32_t v = groups.GroupCount;
  level.Order.resize(v + 1);
  for (int32_t g = 1; g <= v; ++g) level.Order[g] = g;
  if (frame.Kind != ftNominal) return;
  // Nominal values line up by their share of the node's majority class, or by their mean: the
  // order in which the best two-group split of two classes, or by dispersion, is a cut.
  level.Key.assign(v + 1, 0.0);
  TClassCounts all{};
  for (int32_t g = 1; g <= v; ++g) AddClassCounts(all, groups.Row(g).ClassCount);
  const int32_t majority = run_.C() > 0 ? MajorityClass(all, run_.C()).Class : 0;
  for (int32_t g = 1; g <= v; ++g) {
    const TGroupRow& row = groups.Row(g);
    level.Key[g] =
        majority > 0 ? static_cast<double>(row.ClassCount[majority]) / row.Count : row.Mean;
  }
  std::stable_sort(level.Order.begin() + 1, level.Order.end(),
                   [&level](int32_t a, int32_t b) { return level.Key[a] < level.Key[b]; });
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
  if (frame.Kind == ftNominal) {
    for (int32_t r = first; r <= last; ++r) {
      const std::vector<int32_t>& values = groups.Row(level.Order[r]).Values;
      branch->Values.insert(branch->Values.end(), values.begin(), values.end());
    }
  } else {
    branch->Low = groups.Threshold[first - 1];
    branch->High = groups.Threshold[last];
    branch->OpenBelow = first == 1;
    branch->OpenAbove = last == groups.GroupCount;
  }
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
