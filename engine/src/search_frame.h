// The state of one level of the split search: the node being searched, the groups of the feature
// being evaluated as the merges leave them, the table of candidate pairs, the best partition seen
// so far and the scratch of the level. Every part of the search works on it; it calls nothing.
#pragma once

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "criteria.h"
#include "pair_ranking.h"
#include "run_state.h"
#include "tree_figures.h"
#include "tree_records.h"
#include "value_groups.h"

namespace tarvo {

// A candidate merge of groups L < M with the results of evaluating their union.
struct TPairSlot {
  int32_t L = 0;                 // the earlier group of the pair
  int32_t M = 0;                 // the later group
  TBranchRec* Branch = nullptr;  // the union's branch and grown subtree, owned here (none at
                                 // the last level, where the record is made only if kept)
  TTreeFigures Grown;            // of the union's best subtree (at the last level: one leaf)
  int32_t Count = 0;             // objects in the union
  double Mean = 0.0;             // the union's mean and dispersion of the predicted values
  double Spread = 0.0;
  TPairKey Key;                  // what merging the pair changes in the partition's figures
  double Score = kMissingScore;  // nominal: the partition's score after this merge
  bool Free = true;              // the slot holds no pair
  bool Ranked = false;           // Key is in the table's ranking
};

// The candidate pairs of a feature's groups. Numeric: slot g holds the pair of live group g and
// the next one. Nominal: slots in the order pairs were first laid out, free slots reused in
// ascending order. A ranked table keeps its ranking in step with the slots' keys, so the best
// slot is found without rescoring them all (see TPairRanking).
class TPairTable {
 public:
  // slotCount empty slots, ranked in `mode` or not ranked.
  void StartRanked(int32_t slotCount, TPairRanking::TMode mode) {
    slots_.assign(slotCount, TPairSlot{});
    ranking_.Reset(mode, slotCount);
    ranked_ = true;
  }
  void StartUnranked(size_t slotCount) {
    slots_.assign(slotCount, TPairSlot{});
    ranked_ = false;
  }
  void Clear() { slots_.clear(); }

  // Gives slot s the key of the pair it now holds; the ranking forgets the slot's old key.
  void SetKey(int32_t s, const TPairKey& key) {
    TPairSlot& slot = slots_[s];
    if (slot.Ranked) ranking_.Remove(s, slot.Key);
    slot.Key = key;
    slot.Ranked = ranked_;
    if (ranked_) ranking_.Insert(s, key);
  }
  // Slot s holds no pair any more; its branch is the caller's to free first.
  void Empty(int32_t s) {
    if (slots_[s].Ranked) ranking_.Remove(s, slots_[s].Key);
    slots_[s] = TPairSlot{};
  }

  bool Ranked() const { return ranked_; }
  // The ranked slot of lowest scoreOf(key), ties to the lowest slot; -1 when there is none.
  template <typename ScoreOf>
  int32_t BestRanked(const ScoreOf& scoreOf) const {
    return ranking_.Best(scoreOf);
  }

  TPairSlot& operator[](size_t s) { return slots_[s]; }
  const TPairSlot& operator[](size_t s) const { return slots_[s]; }
  int32_t Size() const { return static_cast<int32_t>(slots_.size()); }
  std::vector<TPairSlot>::iterator begin() { return slots_.begin(); }
  std::vector<TPairSlot>::iterator end() { return slots_.end(); }

 private:
  std::vector<TPairSlot> slots_;
  TPairRanking ranking_;
  bool ranked_ = false;
};

// The feature's value groups as the merges leave them. Groups keep the number BuildValueGroups
// gave them; a merge removes the later group from the live list, so the order of the live groups
// is always the order of their numbers.
struct TGroupTable : TValueGroups {
  std::vector<int32_t> NextLive;  // [group] the next live group, 0 after the last
  std::vector<int32_t> PrevLive;  // [group] the previous live group, 0 before the first
  // At the last level a merge leaves the members in the rows of the initial groups: a live
  // group's members are those of the initial groups chained from it.
  std::vector<int32_t> ChainNext;   // [group] the next initial group of the chain, 0 at its end
  std::vector<int32_t> ChainLast;   // [group] the last initial group of a live group's chain
  std::vector<int32_t> BranchBorn;  // [group] the merge step that gave the row its branch
  int32_t LiveCount = 0;            // groups in the live list
  int32_t Step = 0;                 // merges made so far

  // Every group live and a chain of its own, none merged yet.
  void ResetLive() {
    const int32_t v = GroupCount;
    BranchBorn.assign(v + 1, 0);
    NextLive.assign(v + 1, 0);
    PrevLive.assign(v + 1, 0);
    ChainNext.assign(v + 1, 0);
    ChainLast.resize(v + 1);
    for (int32_t g = 1; g <= v; ++g) {
      NextLive[g] = g < v ? g + 1 : 0;
      PrevLive[g] = g - 1;
      ChainLast[g] = g;
    }
    LiveCount = v;
  }
  // Appends q's chain to r's.
  void Chain(int32_t r, int32_t q) {
    ChainNext[ChainLast[r]] = q;
    ChainLast[r] = ChainLast[q];
  }
  // Takes q out of the live list; the groups after it are now one place further forward.
  void Unlink(int32_t q) {
    const int32_t before = PrevLive[q];
    const int32_t after = NextLive[q];
    if (before) NextLive[before] = after;
    if (after) PrevLive[after] = before;
    NextLive[q] = PrevLive[q] = 0;
    --LiveCount;
  }
};

// The best partition of the feature: the partition after merge Step (0: the initial one, -1: none
// yet). Branches of it that later merges take out of the rows are retained, so it can be collected
// at the end instead of copied at every improvement.
struct TBestPartition {
  int32_t Step = -1;
  double Score = kMissingScore;
  TTreeFigures Totals;
  std::vector<std::pair<int32_t, TBranchRec*>> Retained;  // (group, branch)
  std::vector<TBranchRec*> Branches;                      // collected, in group order
  bool Pending = false;  // the branches were not made (see TLeafMergeSequence)

  void Restart() {
    Branches.clear();
    Retained.clear();
    Score = kMissingScore;
    Step = -1;
  }
};

struct TSearchScratch {
  std::vector<int32_t> UnionObjects;   // the objects of the union being evaluated
  std::vector<int32_t> MergedMembers;  // for merging two member lists
};

struct TSearchFrame {
  TNodeRec* Node = nullptr;          // the node being searched (null for a worker's feature)
  const int32_t* Objects = nullptr;  // its objects, in list order
  int32_t N = 0;
  TFeatureMask Mask;     // the features the search may use; a feature is off while it is evaluated
  int32_t Depth = 0;     // 1 for a tree's search, up to the look-ahead
  int32_t Excluded = 0;  // the feature tested at the node's parent
  double LargestSquare = -1.0;    // of the node's predicted values, -1 until a bound needs it
  int32_t Feature = 0;            // the feature being evaluated
  TFeatureType Kind = ftNumeric;  // its type
  TGroupTable Groups;
  TTreeFigures Totals;  // of the current partition
  TPairTable Pairs;
  TBestPartition Best;
  TSearchScratch Scratch;

  // Whether the frame's merges make single leaves: the last level of the look-ahead.
  bool LastLevel(const TRunState& run) const { return Depth >= run.LookAhead; }
};

// The figures of the current partition after the merge of a pair with that key.
inline TTreeFigures TotalsAfter(const TSearchFrame& frame, const TPairKey& key) {
  const TTreeFigures& totals = frame.Totals;
  return TTreeFigures{totals.Leaves + key.DeltaLeaves, totals.Errors + key.DeltaErrors,
                      totals.Dispersion - key.DeltaDispersion / frame.Groups.KnownCount};
}

// The score of the current partition after the merge of a pair with that key.
inline double ScoreOfKey(const TRunState& run, const TSearchFrame& frame, const TPairKey& key) {
  const TTreeFigures after = TotalsAfter(frame, key);
  return SplitScore(run, after.Leaves, run.FeatureCost[frame.Feature], after.Dispersion,
                    static_cast<double>(after.Errors) / frame.Groups.KnownCount, frame.N);
}

// Whether the target values of the feature's known objects keep every pair's Delta finite.
inline bool DeltasAreFinite(const TRunState& run, const TSearchFrame& frame) {
  // Means, dispersions and their weighted sums over at most 500 such values stay far from
  // overflow, so no Delta is infinite or NaN.
  constexpr double kModerate = 1e100;
  for (int32_t object : frame.Groups.KnownObjects) {
    if (!(std::fabs(run.TargetValue[object]) <= kModerate)) return false;
  }
  return true;
}

}  // namespace tarvo
