// The search of one node (SearchSplit) over its candidate features, and the evaluation of one
// candidate branch (EvaluateBranch), which grows the branch further while the look-ahead lasts.
#include "split_search.h"

#include <algorithm>
#include <cmath>

#include "criteria.h"
#include "feature_workers.h"

namespace tarvo {

TSplitSearch::TFrame& TSplitSearch::FrameAt(int32_t depth) {
  while (static_cast<int32_t>(frames_.size()) <= depth)
    frames_.push_back(std::make_unique<TFrame>());
  return *frames_[depth];
}

TSplitSearch::TFrame& TSplitSearch::SetUpFrame(int32_t depth, TNodeRec* node,
                                               const int32_t* objects, int32_t n,
                                               const TFeatureMask& mask, int32_t excludedFeature) {
  TFrame& frame = FrameAt(depth);
  frame.Node = node;
  frame.Objects = objects;
  frame.N = n;
  frame.Mask = mask;
  frame.Depth = depth;
  frame.Excluded = excludedFeature;
  frame.LargestSquare = -1.0;
  return frame;
}

bool TSplitSearch::BuildCandidate(TFrame& frame, int32_t f, bool countsFirst) {
  // The feature is off while its own groups are evaluated; a non-candidate stays off for the
  // rest of this search, so the look-ahead below later features does not use it either.
  frame.Mask[f] = false;
  if (countsFirst && run_.Table.FeatureType[f] == ftNumeric) {
    CountValueGroups(run_, frame.Objects, frame.N, f, frame.Groups);
  } else {
    BuildValueGroups(run_, frame.Objects, frame.N, f, frame.Groups);
  }
  return CanSplit(frame.N, frame.Groups.KnownCount, frame.Groups.GroupCount >= 2);
}

void TSplitSearch::TakeOutcome(TFrame& frame, TFeatureOutcome& outcome) {
  outcome.Feature = frame.Feature;
  outcome.Best.swap(frame.Best);
  outcome.SplitPending = frame.SplitPending;
  frame.SplitPending = false;
  outcome.BestScore = frame.BestScore;
  outcome.BestTotals = frame.BestTotals;
  ReleaseFeatureState(frame);
}

void TSplitSearch::Adopt(TNodeRec& node, TSearchResult& result, TFeatureOutcome& outcome) {
  // Ties keep the earlier choice: no split, or the lower-numbered feature.
  if (!WillAdopt(outcome, result)) {
    for (TBranchRec* b : outcome.Best) records_.FreeBranch(b);
    outcome.Best.clear();
    return;
  }
  result.Score = outcome.BestScore;
  result.Figures = outcome.BestTotals;
  records_.FreeBranchList(node.FirstBranch);
  node.Feature = outcome.Feature;
  if (outcome.SplitPending) return;  // a split by Feature, its branches to be made later
  for (size_t i = 0; i + 1 < outcome.Best.size(); ++i) outcome.Best[i]->Next = outcome.Best[i + 1];
  outcome.Best.back()->Next = nullptr;
  node.FirstBranch = outcome.Best.front();
  outcome.Best.clear();
}

bool TSplitSearch::DefersRecords(int32_t depth) const {
  return depth >= 2 && depth >= run_.LookAhead && !run_.ScoresRead && !makingPending_;
}

void TSplitSearch::MakePendingSplits(TFrame& frame, const TFeatureOutcome& outcome,
                                     const TFeatureMask& mask) {
  // A branch's objects are the node's known objects that its test accepts, in list order: the
  // list its union was searched with. The search depends on nothing else, so it finds the same
  // split again, and makes its records this time.
  const std::vector<double>& column = run_.Table.Data[outcome.Feature];
  std::vector<int32_t>& objects = frame.BranchObjects;
  for (TBranchRec* b : outcome.Best) {
    TNodeRec& child = *b->Child;
    if (child.FirstBranch || child.Feature <= 0) continue;
    objects.clear();
    for (int32_t i = 0; i < frame.N; ++i) {
      const double x = column[frame.Objects[i]];
      if (IsKnown(x) && BranchAccepts(*b, x)) objects.push_back(frame.Objects[i]);
    }
    makingPending_ = true;
    SearchNode(child, objects.data(), static_cast<int32_t>(objects.size()), mask, frame.Depth,
               outcome.Feature);
    makingPending_ = false;
  }
}

TSearchResult TSplitSearch::SearchSplit(TNodeRec& node, const int32_t* objects, int32_t n,
                                        TFeatureMask mask, int32_t depth, int32_t excludedFeature) {
  // A nested last-level search depends on nothing but its inputs while one top-level feature is
  // evaluated; a repeat of it gives the same node and makes the same credits in the same order.
  const bool cached = depth >= 1 && depth + 1 >= run_.LookAhead;
  if (!cached) return SearchNode(node, objects, n, mask, depth, excludedFeature);
  // A last-level search never looks at the excluded feature, whether the mask allows it or not.
  TFeatureMask key = mask;
  key[excludedFeature] = false;
  TSearchResult result;
  if (cache_.Find(objects, n, key, excludedFeature, node, result, replay_, records_)) {
    for (const TCredit& credit : replay_) CreditFeature(credit.Feature, credit.Score);
    return result;
  }
  // A last-level search makes no nested search, so no capture is under way here.
  capture_.clear();
  capturing_ = true;
  result = SearchNode(node, objects, n, mask, depth, excludedFeature);
  capturing_ = false;
  cache_.Store(objects, n, key, excludedFeature, node, result, capture_, records_);
  return result;
}

TSearchResult TSplitSearch::SearchNode(TNodeRec& node, const int32_t* objects, int32_t n,
                                       TFeatureMask mask, int32_t depth, int32_t excludedFeature) {
  run_.CheckCancel();
  ++depth;
  TFrame& frame = SetUpFrame(depth, &node, objects, n, mask, excludedFeature);

  TSearchResult result;
  const int32_t classes = run_.C();
  node.ClassCount.fill(0);
  if (classes > 0) {
    for (int32_t i = 0; i < n; ++i) ++node.ClassCount[run_.TargetClass[objects[i]]];
  }
  const int32_t errors = MajorityErrors(node.ClassCount, classes);
  const double errorFrequency = static_cast<double>(errors) / n;
  node.Mean = NodeMean(run_, objects, n);
  node.Dispersion = NodeDispersion(run_, objects, n, node.Mean);
  node.ObjectCount = n;
  result.Figures = TTreeFigures{1, errors, node.Dispersion};
  if (excludedFeature == 0) run_.RootDispersion = node.Dispersion;
  node.Terminal = IsHomogeneous(run_, n, errorFrequency, node.Dispersion, node.Mean);
  node.FirstBranch = nullptr;
  node.Feature = 0;
  result.Score = SplitScore(run_, 1, 0.0, node.Dispersion, errorFrequency, n);
  if (node.Terminal) return result;

  // Features not worth sharing run here, where the bounds can skip those that cannot win.
  if (depth == 1 && workers_ && workers_->WorthSharing(n)) {
    SearchFeaturesInParallel(frame, node, result);
    return result;
  }
  TFeatureOutcome outcome;
  const bool bounded = BoundsHold();
  const bool leafLevel = depth >= run_.LookAhead;
  for (int32_t f = 1; f <= run_.M(); ++f) {
    if (!frame.Mask[f] || f == excludedFeature) continue;
    if (bounded && CannotWin(f, 0, 1, n, result.Score)) {
      // Skipped, but the mask must still lose a non-candidate for the features after it.
      if (!IsCandidateFeature(run_, objects, n, f)) frame.Mask[f] = false;
      continue;
    }
    // At the last level a bound usually settles the feature from its groups' class counts.
    if (!BuildCandidate(frame, f, bounded && leafLevel)) continue;
    if (bounded && leafLevel && LeafPartitionsCannotWin(frame, f, result.Score)) {
      frame.Mask[f] = true;  // a candidate stays allowed, as after its evaluation
      continue;
    }
    if (!frame.Groups.Complete) CompleteValueGroups(run_, frame.Groups);
    if (depth == 1) run_.CheckCancel();
    if (!leafLevel || !run_.LeafMergeShortcut ||
        !EvaluateLeafFeature(frame, f, result.Score, DefersRecords(depth))) {
      EvaluateFeature(frame, f);
    }
    if (run_.ScoresRead) RecordFeatureScores(frame, result.Score);
    TakeOutcome(frame, outcome);
    if (WillAdopt(outcome, result)) MakePendingSplits(frame, outcome, frame.Mask);
    Adopt(node, result, outcome);
  }
  return result;
}

void TSplitSearch::EvaluateTopFeature(const int32_t* objects, int32_t n, const TFeatureMask& mask,
                                      int32_t excludedFeature, int32_t f, TFeatureOutcome& outcome,
                                      TCreditOrder& order, size_t job) {
  run_.CheckCancel();
  TFrame& frame = SetUpFrame(1, nullptr, objects, n, mask, excludedFeature);
  outcome.Best.clear();
  order_ = &order;
  job_ = job;
  log_.clear();
  logging_ = run_.ScoresRead && !order.HasTurn(job, turnScore_);
  if (BuildCandidate(frame, f)) {
    EvaluateFeature(frame, f);
    if (run_.ScoresRead) RecordFeatureScores(frame, turnScore_);
  }
  frame.Feature = f;
  TakeOutcome(frame, outcome);
  logging_ = false;
  order.Finish(job, log_, !outcome.Best.empty(), outcome.BestScore);
}

void TSplitSearch::SearchFeaturesInParallel(TFrame& frame, TNodeRec& node, TSearchResult& result) {
  // Which features are candidates depends on the data alone, so the mask that each feature's
  // evaluation sees (the non-candidates before it switched off) is known before any of them runs.
  std::vector<TFeatureJob>& jobs = workers_->Jobs();
  jobs.clear();
  TFeatureMask mask = frame.Mask;
  for (int32_t f = 1; f <= run_.M(); ++f) {
    if (!mask[f] || f == frame.Excluded) continue;
    if (!IsCandidateFeature(run_, frame.Objects, frame.N, f)) {
      mask[f] = false;
      continue;
    }
    TFeatureJob& job = jobs.emplace_back();
    job.Feature = f;
    job.Mask = mask;
  }
  // The credits reach the run in feature order while the features are evaluated; the node then
  // takes the best split in that order too.
  workers_->Evaluate(frame.Objects, frame.N, frame.Excluded, result.Score);
  for (TFeatureJob& job : jobs) {
    if (WillAdopt(job.Outcome, result)) MakePendingSplits(frame, job.Outcome, job.Mask);
    Adopt(node, result, job.Outcome);
  }
}

void TSplitSearch::EvaluateFeature(TFrame& frame, int32_t f) {
  TValueGroups& groups = frame.Groups;
  const int32_t v = groups.GroupCount;
  // The searches below one top-level feature repeat each other; those of another seldom do.
  if (frame.Depth == 1) cache_.Clear(records_);
  frame.Feature = f;
  frame.Kind = run_.Table.FeatureType[f];
  frame.KnownCount = groups.KnownCount;
  frame.Pairs.clear();
  frame.Best.clear();
  frame.Retained.clear();
  frame.BestScore = kMissingScore;
  frame.Step = 0;
  frame.BestStep = -1;
  ResetLiveGroups(frame);

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
  totals.Dispersion = totals.Dispersion / frame.KnownCount;
  const double initialScore =
      SplitScore(run_, totals.Leaves, run_.FeatureCost[f], totals.Dispersion,
                 static_cast<double>(totals.Errors) / frame.KnownCount, frame.N);

  // From here on the unions are grown with f allowed; only their first level avoids it.
  frame.Mask[f] = true;
  if (initialScore <= kMissingScore) KeepAsBest(frame, initialScore);
  if (v > 2) RunMergeSequence(frame);
  CollectBest(frame);
}

void TSplitSearch::ResetLiveGroups(TFrame& frame) {
  const int32_t v = frame.Groups.GroupCount;
  frame.BranchBorn.assign(v + 1, 0);
  frame.NextLive.assign(v + 1, 0);
  frame.PrevLive.assign(v + 1, 0);
  frame.ChainNext.assign(v + 1, 0);
  frame.ChainLast.resize(v + 1);
  for (int32_t g = 1; g <= v; ++g) {
    frame.NextLive[g] = g < v ? g + 1 : 0;
    frame.PrevLive[g] = g - 1;
    frame.ChainLast[g] = g;
  }
  frame.LiveCount = v;
}

void TSplitSearch::EvaluateBranch(TFrame& frame, int32_t a, int32_t b, TPairSlot& result) {
  const TValueGroups& groups = frame.Groups;
  const TGroupRow& rowA = groups.Row(a);
  const TGroupRow& rowB = groups.Row(b);

  // The union's objects in the order of the node's list; a leaf needs no list of its own.
  const bool leafLevel = frame.Depth >= run_.LookAhead;
  const int32_t u = a == b ? rowA.Count : rowA.Count + rowB.Count;
  std::vector<int32_t>& objects = frame.BranchObjects;
  if (!leafLevel) {
    objects.clear();
    if (a == b) {
      for (int32_t position : rowA.Members) objects.push_back(groups.KnownObjects[position]);
    } else {
      frame.MergedMembers.resize(rowA.Members.size() + rowB.Members.size());
      std::merge(rowA.Members.begin(), rowA.Members.end(), rowB.Members.begin(), rowB.Members.end(),
                 frame.MergedMembers.begin());
      for (int32_t position : frame.MergedMembers) objects.push_back(groups.KnownObjects[position]);
    }
  }

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

  TBranchRec* branch = records_.NewBranch();
  branch->Kind = frame.Kind;
  if (frame.Kind == ftNominal) {
    branch->Values = rowA.Values;
    if (a != b) branch->Values.insert(branch->Values.end(), rowB.Values.begin(), rowB.Values.end());
  } else {
    // A live group's lower bound is the upper bound of the live group before it.
    branch->Low = groups.Threshold[frame.PrevLive[a]];
    branch->High = groups.Threshold[b];
    branch->OpenBelow = frame.PrevLive[a] == 0;
    branch->OpenAbove = frame.NextLive[b] == 0;  // b may have taken in the last group
  }
  TNodeRec* child = records_.NewNode();
  branch->Child = child;

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
      SearchSplit(*child, objects.data(), u, frame.Mask, frame.Depth, frame.Feature).Figures;
}

TBranchRec* TSplitSearch::MakeLastLevelBranch(TFrame& frame, int32_t g) {
  // The branch and leaf that evaluating live group g as the union of its last merge would have
  // made: the row holds the union's counts, mean and dispersion, computed the same way.
  const TValueGroups& groups = frame.Groups;
  const TGroupRow& row = groups.Row(g);
  TBranchRec* branch = records_.NewBranch();
  branch->Kind = frame.Kind;
  if (frame.Kind == ftNominal) {
    branch->Values = row.Values;
  } else {
    // Neither bound of a group moves while the group stays as it is, nor do its neighbours.
    branch->Low = groups.Threshold[frame.PrevLive[g]];
    branch->High = groups.Threshold[g];
    branch->OpenBelow = frame.PrevLive[g] == 0;
    branch->OpenAbove = frame.NextLive[g] == 0;
  }
  TNodeRec* child = records_.NewNode();
  branch->Child = child;
  child->FirstBranch = nullptr;
  child->Feature = 0;
  child->ClassCount = row.ClassCount;
  child->Dispersion = row.Grown.Dispersion;
  child->Mean = row.Mean;
  child->ObjectCount = row.Count;
  // The error frequency of a branch is taken over the node being split, not over the branch.
  // The groups of the first partition were judged with the feature itself switched off.
  child->Terminal = IsHomogeneous(run_, row.Count, static_cast<double>(row.Grown.Errors) / frame.N,
                                  row.Grown.Dispersion, row.Mean) ||
                    GroupIsUnsplittable(frame, g, frame.BranchBorn[g] > 0);
  return branch;
}

TBranchRec* TSplitSearch::TakeBranch(TFrame& frame, int32_t g) {
  TGroupRow& row = frame.Groups.Row(g);
  TBranchRec* branch = row.Branch ? row.Branch : MakeLastLevelBranch(frame, g);
  row.Branch = nullptr;
  return branch;
}

bool TSplitSearch::GroupIsUnsplittable(const TFrame& frame, int32_t a, bool featureAllowed) const {
  // Whether two known values of some allowed feature differ: the same test as IsUnsplittable,
  // which does not depend on the order of the objects, run over the members of the group's chain.
  const TValueGroups& groups = frame.Groups;
  for (int32_t g = 1; g <= run_.M(); ++g) {
    if (!frame.Mask[g] || g == frame.Excluded) continue;
    if (g == frame.Feature && !featureAllowed) continue;
    const std::vector<double>& column = run_.Table.Data[g];
    TKnownValueScan scan;
    for (int32_t initial = a; initial; initial = frame.ChainNext[initial]) {
      for (int32_t position : groups.Row(initial).Members) {
        if (scan.Differs(column[groups.KnownObjects[position]])) return false;
      }
    }
  }
  return true;
}

void TSplitSearch::ReleaseFeatureState(TFrame& frame) {
  for (int32_t g = 1; g <= frame.Groups.GroupCount; ++g) {
    TGroupRow& row = frame.Groups.Row(g);
    records_.FreeBranch(row.Branch);
    row.Branch = nullptr;
  }
  for (TPairSlot& slot : frame.Pairs) {
    records_.FreeBranch(slot.Branch);
    slot.Branch = nullptr;
  }
  frame.Pairs.clear();
  for (TBranchRec* b : frame.Best) records_.FreeBranch(b);
  frame.Best.clear();
}

}  // namespace tarvo
