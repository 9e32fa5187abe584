// The search of one node (SearchSplit) over its candidate features: the node's own figures, the
// features the bounds leave, each through a merge sequence, and the best of them adopted.
#include "split_search.h"

#include "criteria.h"

namespace tarvo {

TSearchFrame& TSplitSearch::SetUpFrame(int32_t depth, TNodeRec* node, const int32_t* objects,
                                       int32_t n, const TFeatureMask& mask,
                                       int32_t excludedFeature) {
  while (static_cast<int32_t>(frames_.size()) <= depth) {
    frames_.push_back(std::make_unique<TSearchFrame>());
  }
  TSearchFrame& frame = *frames_[depth];
  frame.Node = node;
  frame.Objects = objects;
  frame.N = n;
  frame.Mask = mask;
  frame.Depth = depth;
  // A binary split leaves its feature to be cut again below; a multiway split used it up.
  frame.Excluded = run_.BinarySplits ? 0 : excludedFeature;
  frame.LargestSquare = -1.0;
  return frame;
}

bool TSplitSearch::BuildCandidate(TSearchFrame& frame, int32_t f, bool countsFirst) {
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

void TSplitSearch::EvaluateGeneral(TSearchFrame& frame, int32_t f) {
  // The searches below one top-level feature repeat each other; those of another seldom do.
  if (frame.Depth == 1) cache_.Clear(records_);
  if (run_.BinarySplits && frame.Groups.GroupCount > 2) {
    binary_.EvaluateFeature(frame, f);
  } else {
    merge_.EvaluateFeature(frame, f);
  }
}

void TSplitSearch::TakeOutcome(TSearchFrame& frame, TFeatureOutcome& outcome) {
  TBestPartition& best = frame.Best;
  outcome.Feature = frame.Feature;
  outcome.Best.swap(best.Branches);
  outcome.SplitPending = best.Pending;
  best.Pending = false;
  outcome.BestScore = best.Score;
  outcome.BestTotals = best.Totals;
  ReleaseFeatureState(frame);
}

void TSplitSearch::ReleaseFeatureState(TSearchFrame& frame) {
  for (int32_t g = 1; g <= frame.Groups.GroupCount; ++g) {
    TGroupRow& row = frame.Groups.Row(g);
    records_.FreeBranch(row.Branch);
    row.Branch = nullptr;
  }
  for (TPairSlot& slot : frame.Pairs) {
    records_.FreeBranch(slot.Branch);
    slot.Branch = nullptr;
  }
  frame.Pairs.Clear();
  for (TBranchRec* b : frame.Best.Branches) records_.FreeBranch(b);
  frame.Best.Branches.clear();
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

void TSplitSearch::MakePendingSplits(TSearchFrame& frame, const TFeatureOutcome& outcome,
                                     const TFeatureMask& mask) {
  // A branch's objects are the node's known objects that its test accepts, in list order: the
  // list its union was searched with. The search depends on nothing else, so it finds the same
  // split again, and makes its records this time.
  const std::vector<double>& column = run_.Table.Data[outcome.Feature];
  std::vector<int32_t>& objects = frame.Scratch.UnionObjects;
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
  if (!run_.BinarySplits) key[excludedFeature] = false;
  TSearchResult result;
  if (cache_.Find(objects, n, key, excludedFeature, node, result, credits_.ReplayLog(), records_)) {
    credits_.Replay();
    return result;
  }
  // A last-level search makes no nested search, so no capture is under way here.
  credits_.StartCapture();
  result = SearchNode(node, objects, n, mask, depth, excludedFeature);
  cache_.Store(objects, n, key, excludedFeature, node, result, credits_.EndCapture(), records_);
  return result;
}

TSearchFrame& TSplitSearch::OpenNode(TNodeRec& node, const int32_t* objects, int32_t n,
                                     const TFeatureMask& mask, int32_t depth,
                                     int32_t excludedFeature, TSearchResult& result) {
  run_.CheckCancel();
  TSearchFrame& frame = SetUpFrame(depth + 1, &node, objects, n, mask, excludedFeature);
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
  // A node whose branches count their impurity counts its own likewise.
  const double misfitFrequency = run_.ImpurityScores && frame.LastLevel(run_)
                                     ? Impurity(node.ClassCount, classes, run_.ImpurityMeasure) / n
                                     : errorFrequency;
  result.Score = SplitScore(run_, 1, 0.0, node.Dispersion, misfitFrequency, n);
  return frame;
}

TSearchResult TSplitSearch::SearchNode(TNodeRec& node, const int32_t* objects, int32_t n,
                                       const TFeatureMask& mask, int32_t depth,
                                       int32_t excludedFeature) {
  TSearchResult result;
  TSearchFrame& frame = OpenNode(node, objects, n, mask, depth, excludedFeature, result);
  if (!node.Terminal) SearchFeatures(frame, result);
  return result;
}

void TSplitSearch::SearchFeatures(TSearchFrame& frame, TSearchResult& result) {
  // Features that cannot win are skipped when the bounds hold.
  TFeatureOutcome outcome;
  const int32_t n = frame.N;
  const bool bounded = bounds_.Hold();
  const bool leafLevel = frame.LastLevel(run_);
  for (int32_t f = 1; f <= run_.M(); ++f) {
    if (!frame.Mask[f] || f == frame.Excluded) continue;
    if (bounded && bounds_.CannotWin(f, 0, 1, n, result.Score)) {
      // Skipped, but the mask must still lose a non-candidate for the features after it.
      if (!IsCandidateFeature(run_, frame.Objects, n, f)) frame.Mask[f] = false;
      continue;
    }
    // At the last level a bound usually settles the feature from its groups' class counts.
    if (!BuildCandidate(frame, f, bounded && leafLevel)) continue;
    if (bounded && leafLevel && bounds_.LeafPartitionsCannotWin(frame, f, result.Score)) {
      frame.Mask[f] = true;  // a candidate stays allowed, as after its evaluation
      continue;
    }
    if (!frame.Groups.Complete) CompleteValueGroups(run_, frame.Groups);
    if (frame.Depth == 1) run_.CheckCancel();
    // The lean sequence keeps the best partition of any size: binary splits take the general way.
    if (!leafLevel || !run_.LeafMergeShortcut || run_.BinarySplits ||
        !leafMerge_.EvaluateFeature(frame, f, result.Score, DefersRecords(frame.Depth))) {
      EvaluateGeneral(frame, f);
    }
    if (run_.ScoresRead) credits_.CreditFeature(frame, result.Score);
    TakeOutcome(frame, outcome);
    if (WillAdopt(outcome, result)) MakePendingSplits(frame, outcome, frame.Mask);
    Adopt(*frame.Node, result, outcome);
  }
}

bool TSplitSearch::OpenTopNode(TNodeRec& node, const int32_t* objects, int32_t n,
                               const TFeatureMask& mask, int32_t excludedFeature,
                               TSearchResult& result) {
  OpenNode(node, objects, n, mask, 0, excludedFeature, result);
  return !node.Terminal;
}

void TSplitSearch::AdoptTopOutcome(TNodeRec& node, TSearchResult& result, TFeatureOutcome& outcome,
                                   const TFeatureMask& mask) {
  if (WillAdopt(outcome, result)) MakePendingSplits(*frames_[1], outcome, mask);
  Adopt(node, result, outcome);
}

void TSplitSearch::EvaluateTopFeature(const int32_t* objects, int32_t n, const TFeatureMask& mask,
                                      int32_t excludedFeature, int32_t f, TFeatureOutcome& outcome,
                                      TCreditOrder& order, size_t job) {
  run_.CheckCancel();
  TSearchFrame& frame = SetUpFrame(1, nullptr, objects, n, mask, excludedFeature);
  outcome.Best.clear();
  credits_.StartJob(order, job);
  if (BuildCandidate(frame, f)) {
    EvaluateGeneral(frame, f);
    if (run_.ScoresRead) credits_.CreditFeature(frame, credits_.TurnScore());
  }
  frame.Feature = f;
  TakeOutcome(frame, outcome);
  credits_.FinishJob(!outcome.Best.empty(), outcome.BestScore);
}

}  // namespace tarvo
