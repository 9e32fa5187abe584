#include "value_groups.h"

#include <bit>
#include <cmath>

#include "criteria.h"

namespace tarvo {

namespace {

// Makes row g (1-based) a fresh group, keeping the storage of its vectors.
TGroupRow& ResetRow(TValueGroups& groups, int32_t g, int32_t label) {
  if (static_cast<int32_t>(groups.Rows.size()) < g) groups.Rows.resize(g);
  TGroupRow& row = groups.Row(g);
  row.Label = label;
  row.Count = 0;
  row.Mean = row.Spread = 0.0;
  row.ClassCount.fill(0);
  row.Largest = row.Majority = 0;
  row.Sum = row.SumOfSquares = 0.0;
  row.Values.clear();
  row.Members.clear();
  row.Branch = nullptr;
  row.Grown = TTreeFigures{};
  return row;
}

void CountClass(TGroupRow& row, int32_t c) {
  const int32_t count = ++row.ClassCount[c];
  if (count > row.Largest) {
    row.Largest = count;
    row.Majority = c;
  }
}

void AddObjects(const TRunState& run, TValueGroups& groups,
                const std::vector<int32_t>& groupOfKnown) {
  const int32_t classes = run.C();
  for (int32_t i = 0; i < groups.KnownCount; ++i) {
    const int32_t object = groups.KnownObjects[i];
    TGroupRow& row = groups.Row(groupOfKnown[i]);
    if (classes > 0) CountClass(row, run.TargetClass[object]);
    const double y = run.TargetValue[object];
    row.Sum += y;
    row.SumOfSquares += y * y;
    AddToGroup(run, row, object);
    row.Members.push_back(i);  // positions in the known list keep the node's order
  }
}

}  // namespace

bool IsCandidateFeature(const TRunState& run, const int32_t* objects, int32_t n, int32_t f) {
  const std::vector<double>& column = run.Table.Data[f];
  const bool nominal = run.Table.FeatureType[f] == ftNominal;
  int32_t known = 0;
  bool differs = false;
  TKnownValueScan scan;
  for (int32_t i = 0; i < n; ++i) {
    double x = column[objects[i]];
    if (!IsKnown(x)) continue;
    ++known;
    if (nominal) x = std::trunc(x);
    differs = scan.Differs(x) || differs;
  }
  return CanSplit(n, known, differs);
}

void AddToGroup(const TRunState& run, TGroupRow& group, int32_t object) {
  const double y = run.TargetValue[object];
  const double mean = PooledMean(group.Count, group.Mean, 1.0, y);
  group.Spread = PooledDispersion(group.Count, group.Mean, group.Spread, 1.0, y, 0.0, mean);
  group.Mean = mean;
  ++group.Count;
}

namespace {

// The known objects of feature f among objects[0..n-1], in list order.
void FindKnownObjects(const TRunState& run, const int32_t* objects, int32_t n, int32_t f,
                      TValueGroups& groups) {
  const std::vector<double>& column = run.Table.Data[f];
  groups.KnownObjects.clear();
  for (int32_t i = 0; i < n; ++i) {
    if (IsKnown(column[objects[i]])) groups.KnownObjects.push_back(objects[i]);
  }
  groups.KnownCount = static_cast<int32_t>(groups.KnownObjects.size());
  groups.Labels.assign(groups.KnownCount, 0);
  groups.Threshold.clear();
}

// Numeric f: the known objects, the groups' number, their values in Distinct and the group of
// each rank in GroupOfRank; with labels, the group of each known object in Labels too. A missing
// value has no rank, and the node's distinct values are the ranks its objects mark, in
// ascending order. The marks cover every value of the table, one bit a rank, with one bit a
// word of them above: a node visits and clears only the words its objects touch, so a small
// node of a large table costs its own size.
void GroupNumericValues(const TRunState& run, const int32_t* objects, int32_t n, int32_t f,
                        TValueGroups& groups, bool labels) {
  const std::vector<double>& values = run.ValueRanks.Distinct[f];
  const std::vector<int32_t>& rankOf = run.ValueRanks.Rank[f];
  const size_t words = (values.size() + 63) / 64;
  const size_t summaries = (words + 63) / 64;
  // Both clear between calls.
  std::vector<uint64_t>& marked = groups.MarkedRanks;
  std::vector<uint64_t>& markedWords = groups.MarkedWords;
  if (marked.size() < words) marked.resize(words, 0);
  if (markedWords.size() < summaries) markedWords.resize(summaries, 0);
  // Written by index and cut to size after: this loop runs for every feature of every node.
  std::vector<int32_t>& known = groups.KnownObjects;
  known.resize(n);
  int32_t knownCount = 0;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t r = rankOf[objects[i]];
    if (r < 0) continue;
    known[knownCount++] = objects[i];
    marked[r >> 6] |= uint64_t{1} << (r & 63);
    markedWords[r >> 12] |= uint64_t{1} << ((r >> 6) & 63);
  }
  known.resize(knownCount);
  groups.KnownCount = knownCount;
  groups.Threshold.clear();
  groups.GroupCount = 1;
  std::vector<double>& distinct = groups.Distinct;
  distinct.clear();
  // Read only at marked ranks, which are all set below.
  if (groups.GroupOfRank.size() < values.size()) groups.GroupOfRank.resize(values.size());
  for (size_t s = 0; s < summaries; ++s) {
    for (uint64_t wordBits = markedWords[s]; wordBits; wordBits &= wordBits - 1) {
      const size_t k = s * 64 + std::countr_zero(wordBits);
      for (uint64_t bits = marked[k]; bits; bits &= bits - 1) {
        const size_t r = k * 64 + std::countr_zero(bits);
        distinct.push_back(values[r]);
        groups.GroupOfRank[r] = static_cast<int32_t>(distinct.size());
      }
      marked[k] = 0;
    }
    markedWords[s] = 0;
  }
  if (groups.KnownCount <= 1) {
    groups.Labels.assign(groups.KnownCount, 0);
    return;
  }
  groups.GroupCount = static_cast<int32_t>(distinct.size());
  groups.Labels.resize(groups.KnownCount);
  if (!labels) return;
  for (int32_t i = 0; i < groups.KnownCount; ++i)
    groups.Labels[i] = groups.GroupOfRank[rankOf[groups.KnownObjects[i]]];
}

}  // namespace

void CountValueGroups(const TRunState& run, const int32_t* objects, int32_t n, int32_t f,
                      TValueGroups& groups) {
  groups.Complete = false;
  GroupNumericValues(run, objects, n, f, groups, false);
  if (groups.KnownCount <= 1) return;
  if (static_cast<int32_t>(groups.Rows.size()) < groups.GroupCount)
    groups.Rows.resize(groups.GroupCount);
  for (int32_t g = 1; g <= groups.GroupCount; ++g) {
    TGroupRow& row = groups.Row(g);
    row.Count = 0;
    row.ClassCount.fill(0);
    row.Largest = row.Majority = 0;
    row.Sum = row.SumOfSquares = 0.0;
    row.Branch = nullptr;
  }
  // The labels are made in the same pass as the counts.
  const std::vector<int32_t>& rankOf = run.ValueRanks.Rank[f];
  const bool classes = run.C() > 0;
  for (int32_t i = 0; i < groups.KnownCount; ++i) {
    const int32_t object = groups.KnownObjects[i];
    const int32_t g = groups.GroupOfRank[rankOf[object]];
    groups.Labels[i] = g;
    TGroupRow& row = groups.Row(g);
    ++row.Count;
    if (classes) {
      CountClass(row, run.TargetClass[object]);
    } else {
      const double y = run.TargetValue[object];
      row.Sum += y;
      row.SumOfSquares += y * y;
    }
  }
}

void BuildValueGroups(const TRunState& run, const int32_t* objects, int32_t n, int32_t f,
                      TValueGroups& groups) {
  groups.Complete = true;
  if (run.Table.FeatureType[f] == ftNominal) {
    const std::vector<double>& column = run.Table.Data[f];
    FindKnownObjects(run, objects, n, f, groups);
    const int32_t w = groups.KnownCount;
    groups.GroupCount = 0;
    if (w == 0) return;
    std::vector<int32_t> groupOfKnown(w);
    for (int32_t i = 0; i < w; ++i) {
      const int32_t label = static_cast<int32_t>(std::trunc(column[groups.KnownObjects[i]]));
      groups.Labels[i] = label;
      int32_t g = 1;
      while (g <= groups.GroupCount && groups.Row(g).Label != label) ++g;
      if (g > groups.GroupCount) {
        groups.GroupCount = g;
        ResetRow(groups, g, label).Values.push_back(label);
      }
      groupOfKnown[i] = g;
    }
    AddObjects(run, groups, groupOfKnown);
    return;
  }

  GroupNumericValues(run, objects, n, f, groups, true);
  CompleteValueGroups(run, groups);
}

void CompleteValueGroups(const TRunState& run, TValueGroups& groups) {
  groups.Complete = true;
  if (groups.KnownCount <= 1) return;
  const std::vector<double>& distinct = groups.Distinct;
  const int32_t v = groups.GroupCount;
  groups.Threshold.assign(v + 1, 0.0);
  groups.Threshold[0] = -kOpenBound;
  for (int32_t g = 1; g < v; ++g) {
    const double gap = distinct[g] - distinct[g - 1];
    // Values of opposite sign near the double's limits: their gap overflows, their halves do not.
    groups.Threshold[g] =
        std::isfinite(gap) ? distinct[g - 1] + gap / 2 : distinct[g - 1] / 2 + distinct[g] / 2;
    // Neighbouring doubles: the midpoint can round onto the upper value, which routing would then
    // put below the threshold. The lower value keeps each value on its own group's side.
    if (groups.Threshold[g] == distinct[g]) groups.Threshold[g] = distinct[g - 1];
  }
  groups.Threshold[v] = kOpenBound;
  for (int32_t g = 1; g <= v; ++g) ResetRow(groups, g, g);
  AddObjects(run, groups, groups.Labels);
}

}  // namespace tarvo
