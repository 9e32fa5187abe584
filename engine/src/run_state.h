// Everything one run works on. RunEngine creates it and every phase reads and writes it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "input_table.h"
#include "report_file.h"
#include "run_random.h"
#include "tarvo/engine.h"
#include "tarvo/model.h"
#include "tarvo/parameters.h"
#include "tarvo/pruning.h"
#include "tree_records.h"
#include "value_ranks.h"

namespace tarvo {

class ProgressSink;
class TreeObserver;

constexpr double kMissingScore = 1e17;  // best scores start here and free slots carry it

// How impure a leaf's classes are, where a search counts impurity: Gini (objects less the sum of
// squared class counts over objects) or entropy (objects times the entropy of their classes, in
// nats).
enum class TImpurity { Gini, Entropy };

struct TRunState {
  RunParameters Parameters{0.0, 0.0, 0.0, 0, 0, 0, 0};  // as the caller passed them
  std::string InputFileName;                            // the table file read
  // The table's name in the report and its pictures when that is not InputFileName.
  std::string ShownTableName;
  const std::string& TableName() const {
    return ShownTableName.empty() ? InputFileName : ShownTableName;
  }
  std::string ChiSquareFileName = "prog.par";
  PruneRule Prune = PruneRule::None;  // how the trees are cut back after growing

  ProgressSink* Progress = nullptr;
  const std::atomic<bool>* CancelRequested = nullptr;  // the caller's stop request, may be null
  TreeObserver* Observer = nullptr;                    // receives every reported tree, may be null
  std::vector<std::string> Warnings;                   // handed to the caller with the result
  int32_t SearchThreads = 1;  // threads that evaluate the features of a search
  ReportFile Report;
  TRunRandom Random;

  TInputTable Table;
  TTargetDescription Target;
  TValueRanks ValueRanks;  // of Table.Data, which no phase of the run changes

  double LeafWeight = 1.0;
  double CostWeight = 0.1;
  std::vector<double> FeatureCost;  // [1..FeatureCount], 1.0 each
  int32_t BaseLookAhead = 0;
  int32_t HomogeneityCount = 0;
  std::vector<double> ChiSquareTable;
  TFeatureMask PredictorMask;

  std::vector<char> Active;          // [1..N]: takes part in the next tree
  std::vector<double> TargetValue;   // [1..N]
  std::vector<int32_t> TargetClass;  // [1..N], classification runs only
  std::vector<int32_t> ObjList;      // objects of the search in progress

  TTreeStorage Tree;
  int32_t VariantNumber = 0;
  int32_t TreeCount = 0;
  std::vector<std::vector<double>> Votes;  // [object][tree]
  // The trees that count, with their cross-validation errors, and what predicting with them
  // needs: the run's product besides its report.
  Model KeptModel;
  std::vector<int32_t> FoldOf;  // [1..N]
  FirstTreeFigures FirstTree;   // handed to the caller with the result

  // Tree growing and split search.
  int32_t LeafCount = 0;
  int64_t LookAhead = 0;  // wide: it counts up from BaseLookAhead, which may be any 32-bit value
  double RootDispersion = 0.0;
  std::vector<double> FeatureScore;       // [1..FeatureCount]
  std::vector<double> FeatureScoreCount;  // [1..FeatureCount]
  // Whether the next search of the series ranks features by the scores of the one running:
  // when not, the search need not record them and may skip features that cannot win.
  bool ScoresRead = true;
  // Whether the last level of the look-ahead runs numeric features through its own lean merge
  // sequence; tests turn it off to compare it with the general one.
  bool LeafMergeShortcut = true;
  // Whether every split has two branches: a run that prunes grows binary trees, which pruning then
  // cuts back one split at a time (a node of many branches could only collapse whole).
  bool BinarySplits = false;
  // Whether a regression node stops when the dispersion test finds it homogeneous. A pruned run at
  // homogeneity 0 grows until its values agree: the test, which compares the dispersion with the
  // mean, would stop it early wherever the values are large and close together.
  bool DispersionTest = true;
  // Whether the leaves of a search count the impurity of their classes (ImpurityMeasure) where they
  // count errors otherwise. A binary tree grown without look-ahead takes it: a cut that leaves the
  // majorities as they were but purifies its sides counts, so growth goes on where the errors alone
  // would stop it.
  bool ImpurityScores = false;
  TImpurity ImpurityMeasure = TImpurity::Gini;
  // Whether a node that the look-ahead search leaves unsplit is cut in two as a binary pruned run
  // without look-ahead would cut it. A pruned run with look-ahead takes it: its multiway splits
  // stop while binary cuts still pay, and pruning then decides which of them stay.
  bool CutsBelowSearch = false;
  // Whether tree growing checks every leaf its queue gives against a walk of the whole tree;
  // tests turn it on.
  bool CheckLeafQueue = false;
  TRecordStore Records;
  // The records of the search's worker threads. They live as long as the run, like Records;
  // a record freed through any store goes back to the one that made it.
  std::vector<std::unique_ptr<TRecordStore>> WorkerRecords;

  int32_t N() const { return Table.ObjectCount; }
  int32_t M() const { return Table.FeatureCount; }
  int32_t C() const { return Target.NumberOfClasses; }
  TNodeRec* Root() { return Tree.Root(); }

  // Adds score to feature f's score, which the next search of a series may read.
  void CreditFeature(int32_t f, double score);
  // Throws RunCancelled when the caller has asked the run to stop.
  void CheckCancel() const;
  // Tells the progress sink how many trees the run plans, and when each of them starts.
  void PlanTrees(int32_t trees);
  void StartTree();
  int32_t TreesStarted = 0;
  // Sets the text of status panel 1 or 2 and repaints the status bar at once.
  void ShowProgress(int panel, const std::string& text);
};

}  // namespace tarvo
