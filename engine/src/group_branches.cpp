// Last-level branch records, made from the rows of the groups they stand for.
#include "group_branches.h"

#include "criteria.h"

namespace tarvo {

namespace {

// Whether no two known values of an allowed feature differ among live group a's members: the
// test of IsUnsplittable, which does not depend on the order of the objects, run over the members
// of the group's chain. featureAllowed: whether the frame's own feature counts.
bool GroupIsUnsplittable(const TRunState& run, const TSearchFrame& frame, int32_t a,
                         bool featureAllowed) {
  const TGroupTable& groups = frame.Groups;
  for (int32_t g = 1; g <= run.M(); ++g) {
    if (!frame.Mask[g] || g == frame.Excluded) continue;
    if (g == frame.Feature && !featureAllowed) continue;
    const std::vector<double>& column = run.Table.Data[g];
    TKnownValueScan scan;
    for (int32_t initial = a; initial; initial = groups.ChainNext[initial]) {
      for (int32_t position : groups.Row(initial).Members) {
        if (scan.Differs(column[groups.KnownObjects[position]])) return false;
      }
    }
  }
  return true;
}

}  // namespace

TBranchRec* MakeLastLevelBranch(const TRunState& run, TRecordStore& records,
                                const TSearchFrame& frame, int32_t g) {
  // The row holds the union's counts, mean and dispersion, computed the way its evaluation did.
  const TGroupTable& groups = frame.Groups;
  const TGroupRow& row = groups.Row(g);
  TBranchRec* branch = records.NewBranch();
  branch->Kind = frame.Kind;
  if (frame.Kind == ftNominal) {
    branch->Values = row.Values;
  } else {
    // Neither bound of a group moves while the group stays as it is, nor do its neighbours.
    branch->Low = groups.Threshold[groups.PrevLive[g]];
    branch->High = groups.Threshold[g];
    branch->OpenBelow = groups.PrevLive[g] == 0;
    branch->OpenAbove = groups.NextLive[g] == 0;
  }
  TNodeRec* child = records.NewNode();
  branch->Child = child;
  child->FirstBranch = nullptr;
  child->Feature = 0;
  child->ClassCount = row.ClassCount;
  child->Dispersion = row.Grown.Dispersion;
  child->Mean = row.Mean;
  child->ObjectCount = row.Count;
  // The error frequency of a branch is taken over the node being split, not over the branch.
  // The groups of the first partition were judged with the feature itself switched off.
  child->Terminal = IsHomogeneous(run, row.Count, static_cast<double>(row.Grown.Errors) / frame.N,
                                  row.Grown.Dispersion, row.Mean) ||
                    GroupIsUnsplittable(run, frame, g, groups.BranchBorn[g] > 0);
  return branch;
}

TBranchRec* TakeBranch(const TRunState& run, TRecordStore& records, TSearchFrame& frame,
                       int32_t g) {
  TGroupRow& row = frame.Groups.Row(g);
  TBranchRec* branch = row.Branch ? row.Branch : MakeLastLevelBranch(run, records, frame, g);
  row.Branch = nullptr;
  return branch;
}

}  // namespace tarvo
