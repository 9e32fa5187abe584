// The split search with recursive look-ahead: for one node, the feature and the merged value
// groups that make its best split, judged by growing every candidate branch further.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "credit_order.h"
#include "leaf_merge.h"
#include "pair_ranking.h"
#include "run_state.h"
#include "search_cache.h"
#include "tree_figures.h"
#include "value_groups.h"

namespace tarvo {

class TFeatureWorkers;

// What the evaluation of one feature at a node left: its best partition (branches owned here until
// the node takes them or they are freed).
struct TFeatureOutcome {
  int32_t Feature = 0;
  std::vector<TBranchRec*> Best;
  // The best partition scores BestScore, but its branches are not made: a node that takes it
  // splits by Feature with no branch records yet (see MakePendingSplits).
  bool SplitPending = false;
  double BestScore = 0.0;
  TTreeFigures BestTotals;  // of the best partition
};

class TSplitSearch {
 public:
  // records: where this search takes and returns temporary records. workers: when given, the
  // features of a tree's top-level search are evaluated on several threads.
  TSplitSearch(TRunState& run, TRecordStore& records, TFeatureWorkers* workers = nullptr)
      : run_(run), records_(records), workers_(workers) {}

  // Fills node (allocated by the caller) from objects[0..n-1], n >= 1, and gives it the best
  // split found, with the look-ahead subtrees below. excludedFeature is the feature tested at the
  // node's parent, 0 at the root of a tree. Depth is the caller's level (0 for a tree's search).
  TSearchResult SearchSplit(TNodeRec& node, const int32_t* objects, int32_t n, TFeatureMask mask,
                            int32_t depth, int32_t excludedFeature);

  // Evaluates one candidate feature of a top-level search (level 1) on its own, as job `job` of
  // `order`: mask is the search's mask as it stands when f's turn comes.
  void EvaluateTopFeature(const int32_t* objects, int32_t n, const TFeatureMask& mask,
                          int32_t excludedFeature, int32_t f, TFeatureOutcome& outcome,
                          TCreditOrder& order, size_t job);

  TRecordStore& Records() { return records_; }

 private:
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
  };

  // The working state of one SearchSplit call; one per level, reused by later calls at that level.
  // Groups keep the number BuildValueGroups gave them; a merge removes the later group from the
  // live list, so the order of the live groups is always the order of their numbers.
  struct TFrame {
    TNodeRec* Node = nullptr;          // the node being searched (null for a worker's feature)
    const int32_t* Objects = nullptr;  // its objects, in list order
    int32_t N = 0;
    TFeatureMask Mask;  // the features the search may use; a feature is off while it is evaluated
    int32_t Depth = 0;  // 1 for a tree's search, up to the look-ahead
    int32_t Excluded = 0;           // the feature tested at the node's parent
    int32_t Feature = 0;            // the feature being evaluated
    TFeatureType Kind = ftNumeric;  // its type
    // The feature's groups and the totals of the current partition.
    TValueGroups Groups;
    std::vector<int32_t> NextLive;  // [group] the next live group, 0 after the last
    std::vector<int32_t> PrevLive;  // [group] the previous live group, 0 before the first
    // At the last level a merge leaves the members in the rows of the initial groups: a live
    // group's members are those of the initial groups chained from it.
    std::vector<int32_t> ChainNext;  // [group] the next initial group of the chain, 0 at its end
    std::vector<int32_t> ChainLast;  // [group] the last initial group of a live group's chain
    int32_t LiveCount = 0;           // groups in the live list
    int32_t KnownCount = 0;          // w
    TTreeFigures Totals;             // of the current partition
    // Numeric: slot g holds the pair of live group g and the next one. Nominal: slots in the
    // order pairs were first laid out, free slots reused in ascending order.
    std::vector<TPairSlot> Pairs;
    TPairRanking Ranking;     // numeric slots ordered without rescoring, when UseRanking
    bool UseRanking = false;  // the score's shape lets the ranking find the best slot
    // The best partition of the feature is the partition after merge BestStep (0: the initial
    // one, -1: none yet). Branches of it that later merges take out of the rows are retained, so
    // it can be collected at the end instead of copied at every improvement.
    int32_t Step = 0;  // merges made so far
    int32_t BestStep = -1;
    std::vector<int32_t> BranchBorn;  // [group] the merge step that gave the row its branch
    std::vector<std::pair<int32_t, TBranchRec*>> Retained;  // (group, branch) of the best
    std::vector<TBranchRec*> Best;     // the collected best partition, in group order
    double BestScore = kMissingScore;  // and the figures of the best
    TTreeFigures BestTotals;
    bool SplitPending = false;  // the best partition's branches were not made (EvaluateLeafFeature)
    TLeafMerge Leaf;            // a numeric feature's sequence at the last level
    std::vector<int32_t> BranchObjects;  // the objects of the branch being evaluated
    std::vector<int32_t> MergedMembers;  // scratch for merging two member lists
    // Scratch of the bounds: the class counts of runs of groups (neighbours of one class
    // together), the best cuts into intervals, and running sums of the groups' values.
    std::vector<TClassCounts> Runs;
    std::vector<int32_t> RunClass;  // [run] its one class, 0 when it has several
    std::vector<double> OneInterval;
    std::vector<double> ManyIntervals;
    std::vector<double> PrefixCounts;
    std::vector<double> PrefixSums;
    std::vector<double> PrefixSquares;
    double LargestSquare = -1.0;  // of the node's predicted values, -1 until a bound needs it
  };

  // SearchSplit without the cache of last-level searches.
  TSearchResult SearchNode(TNodeRec& node, const int32_t* objects, int32_t n, TFeatureMask mask,
                           int32_t depth, int32_t excludedFeature);
  TFrame& FrameAt(int32_t depth);
  // Whether features that cannot win may be skipped in the search running now.
  bool BoundsHold() const;
  // Whether no partition by f with at least `errors` errors among `known` objects and at least
  // `leaves` leaves can score strictly below toBeat at a node of n objects.
  bool CannotWin(int32_t f, int32_t errors, int32_t known, int32_t n, double toBeat,
                 int32_t leaves = 2) const;
  // Whether no partition of the frame's groups by f, each group a leaf, can score strictly
  // below toBeat.
  bool LeafPartitionsCannotWin(TFrame& frame, int32_t f, double toBeat);
  // The same for a numeric feature of a classification run, from the best cut of the frame's
  // runs into intervals.
  bool IntervalsCannotWin(TFrame& frame, int32_t f, double toBeat);
  template <int32_t kClassSlots>
  bool IntervalsCannotWinOver(TFrame& frame, int32_t f, double toBeat);
  // The same for a numeric feature of a regression run, from the best cut of the frame's groups
  // into intervals by their dispersion.
  bool DispersionIntervalsCannotWin(TFrame& frame, int32_t f, double toBeat);
  // Every group of the frame live and a chain of its own, none merged yet.
  void ResetLiveGroups(TFrame& frame);
  void EvaluateBranch(TFrame& frame, int32_t a, int32_t b, TPairSlot& result);
  // The figures of the current partition after the merge of a pair with that key.
  TTreeFigures TotalsAfter(const TFrame& frame, const TPairKey& key) const;
  int32_t FindBestPair(const TFrame& frame, double& score) const;
  double ScoreOfKey(const TFrame& frame, const TPairKey& key) const;
  TPairKey KeyOf(const TFrame& frame, const TPairSlot& slot) const;
  // Puts the pair of groups l < m in the slot, evaluates their union and keys the slot.
  void EvaluatePair(TFrame& frame, TPairSlot& slot, int32_t l, int32_t m);
  // The branch of live group g, which the row gives up; at the last level it is made now.
  TBranchRec* TakeBranch(TFrame& frame, int32_t g);
  TBranchRec* MakeLastLevelBranch(TFrame& frame, int32_t g);
  bool GroupIsUnsplittable(const TFrame& frame, int32_t a, bool featureAllowed) const;
  void EvaluateNumericPair(TFrame& frame, int32_t left);
  void EvaluateFeature(TFrame& frame, int32_t f);
  // Whether the target values of the feature's known objects keep every pair's Delta finite.
  bool DeltasAreFinite(const TFrame& frame) const;
  void RunMergeSequence(TFrame& frame);
  // The last level's sequence for a numeric feature (leaf_merge.cpp): evaluates f as
  // EvaluateFeature would, but makes the best partition's records only when it scores below
  // toBeat, and with deferRecords not even then (the frame's SplitPending tells). False, with
  // nothing made, when the weights or the target values call for the general sequence.
  bool EvaluateLeafFeature(TFrame& frame, int32_t f, double toBeat, bool deferRecords);
  // Whether one more error always scores strictly worse, whatever the partition's totals.
  bool ErrorsOrderScores(const TFrame& frame) const;
  // Whether the dispersion term, weighed by 0, adds exactly 0 to every partition's score: its
  // relative dispersion is a number for every merge.
  bool DispersionTermVanishes(const TFrame& frame) const;
  // How the last level's sequence finds the best pair.
  enum class TLeafRanking { ByErrors, ByDispersionScan, ByDispersionTournament };
  void RunLeafMergeSequence(TFrame& frame, TLeafRanking ranking);
  // Judges the union of live group `left` and the next one and ranks the pair.
  void EvaluateLeafPair(TFrame& frame, int32_t left, TLeafRanking ranking);
  // The best pair of a regression sequence, found by a scan of the pairs, and its score.
  int32_t LeftmostLeaderPair(const TFrame& frame, double& score) const;
  TPairKey LeafPairKey(const TFrame& frame, int32_t left) const;
  void BuildLeafBest(TFrame& frame);
  // The dispersion of the best partition, which a sequence ranked by errors does not follow.
  double BestLeafDispersion(TFrame& frame);
  // Whether a last-level search at this depth may leave the split it finds without records: a
  // nested search whose subtree no credit reads, and not one that makes them. Its node then has
  // the split's Feature and no branches until MakePendingSplits; no such node leaves the search.
  bool DefersRecords(int32_t depth) const;
  // Gives every branch of the outcome whose child splits with no records yet its subtree, by
  // searching the branch's objects again with records made. mask: the one f was evaluated with.
  void MakePendingSplits(TFrame& frame, const TFeatureOutcome& outcome, const TFeatureMask& mask);
  // keepBest: whether the best partition so far stays the best after this merge.
  void MergeGroups(TFrame& frame, int32_t r, int32_t q, const TPairSlot& merged, bool keepBest);
  void UpdateNumericPairs(TFrame& frame, int32_t r, int32_t q);
  void UpdateNominalPairs(TFrame& frame, int32_t r, int32_t q);
  void KeepAsBest(TFrame& frame, double score);
  // Takes group g's branch out of its row: kept while it belongs to the best partition.
  void RetireBranch(TFrame& frame, int32_t g, bool keepBest);
  void CollectBest(TFrame& frame);
  void RecordFeatureScores(TFrame& frame, double nodeScore);
  void CreditSplits(const TNodeRec& node, double score);
  void CreditFeature(int32_t g, double score);
  void ReleaseFeatureState(TFrame& frame);
  TFrame& SetUpFrame(int32_t depth, TNodeRec* node, const int32_t* objects, int32_t n,
                     const TFeatureMask& mask, int32_t excludedFeature);
  // Groups f's values at the frame's node and tells whether f can split it. countsFirst: only
  // the counts are needed for now (see CountValueGroups) when that is cheaper.
  bool BuildCandidate(TFrame& frame, int32_t f, bool countsFirst = false);
  void TakeOutcome(TFrame& frame, TFeatureOutcome& outcome);
  void Adopt(TNodeRec& node, TSearchResult& result, TFeatureOutcome& outcome);
  // Whether the node takes the outcome: a split that scores strictly below the best so far.
  static bool WillAdopt(const TFeatureOutcome& outcome, const TSearchResult& result) {
    return (!outcome.Best.empty() || outcome.SplitPending) && outcome.BestScore < result.Score;
  }
  void SearchFeaturesInParallel(TFrame& frame, TNodeRec& node, TSearchResult& result);

  TRunState& run_;
  TRecordStore& records_;
  TFeatureWorkers* workers_ = nullptr;
  // While a top-level feature is evaluated as a job of order_, its credits wait in log_ until the
  // job's turn comes; from then on they go straight to the run, and turnScore_ is the node's score.
  TCreditOrder* order_ = nullptr;
  size_t job_ = 0;
  bool logging_ = false;
  TCreditLog log_;
  double turnScore_ = 0.0;
  std::vector<std::unique_ptr<TFrame>> frames_;
  TSearchCache cache_;      // last-level searches below the top-level feature being evaluated
  bool capturing_ = false;  // the credits of the last-level search running go to capture_ too
  TCreditLog capture_;
  TCreditLog replay_;           // the credits of a search found in the cache
  bool makingPending_ = false;  // a last-level search runs again to make the records it left
};

}  // namespace tarvo
