// Pruning a grown tree to the size that cross-validation on the run's own folds chooses, and the
// cross-validation of pruning itself: each fold tree chooses its own size inside its training
// part, on the other folds, so that the error reported was not picked on the folds measuring it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cost_complexity.h"
#include "run_state.h"
#include "tarvo/engine.h"
#include "tarvo/pruning.h"

namespace tarvo {

class TTreeGrower;

// One subtree of a tree's weakest-link sequence and its cross-validation figures.
struct TPruningRow {
  double Alpha = 0.0;  // the least complexity at which the subtree is the tree's best
  int32_t Leaves = 0;
  double Error = 0.0;  // cross-validation error, relative to the training spread in regression
  double StandardError = 0.0;
  std::vector<FoldError> Folds;  // the folds that tested objects, in fold order
};

// The rows of a tree's sequence: one per distinct complexity, from the grown tree (0) to the
// root alone; errors 0.
std::vector<TPruningRow> PruningRows(const TPrunableTree& tree);

// The complexity at which other trees are cut to stand for row r: the geometric mean of its
// complexity and the next row's; the last row (the root alone) cuts every tree to its root.
double RowProbe(const std::vector<TPruningRow>& rows, size_t r);

// The chosen row: the least error (ties to the smaller tree), or with OneSe the smallest tree
// whose error is at most the least one plus its standard error.
size_t ChooseRow(const std::vector<TPruningRow>& rows, PruneRule rule);

// The impurities a pruned run grows its trees with, each tree choosing one by cross-validation as
// it chooses its size: Gini and entropy where leaves count impurity (classification without
// look-ahead; neither is better on every table), else only the run's own.
std::vector<TImpurity> PrunedImpurities(const TRunState& run);

class TTreePruner {
 public:
  TTreePruner(TRunState& run, TTreeGrower& grower);
  ~TTreePruner();

  // With the tree just grown in Root: deals the folds (the draw the cross-validation makes),
  // grows a tree without each fold and one without each pair of folds, chooses the size of the
  // tree and of each fold tree, and leaves the pruned tree in Root and its leaves in LeafCount.
  // Without two folds nothing is pruned.
  void PruneGrownTree();

  // Writes the cross-validation lines of the pruned fold trees and returns their error, as the
  // cross-validation of the tree as grown would; leaves the last pruned fold tree in Root.
  double CrossValidate();

  // The table of the tree's sequence, the chosen row marked.
  void WritePruningTable();

 private:
  struct TFold;
  // A tree's weakest-link sequence as grown with one impurity, its rows judged on other folds.
  struct TSequence {
    std::unique_ptr<TPrunableTree> Tree;
    std::vector<TPruningRow> Rows;
    size_t Chosen = 0;
  };
  // A tree to grow on the objects of Active with an impurity; Label is shown on status panel 2
  // when it is done.
  struct TGrowJob {
    std::vector<char> Active;
    std::string Label;
    TImpurity Measure = TImpurity::Gini;
    std::unique_ptr<TPrunableTree> Tree;
  };
  // The sequence whose least row error is least, the first of equals.
  static size_t BestSequence(const std::vector<TSequence>& sequences);
  void GrowFoldTrees();
  void GrowPairTrees();
  // Called with each job's tree as soon as it is grown, on the thread that grew it; it may take
  // the tree.
  using TGrown = std::function<void(size_t job, std::unique_ptr<TPrunableTree>& tree)>;
  // Grows every job's tree: with more than one search thread, as many trees at a time, each on a
  // run state of its own; the trees are those the run's own state would grow one by one.
  void GrowTrees(std::vector<TGrowJob>& jobs, const TGrown& grown = nullptr);
  void GrowTreesSideBySide(std::vector<TGrowJob>& jobs, int32_t threads, const TGrown& grown);
  // The error of the tree at complexity alpha on the objects of the fold.
  double ErrorOnFold(const TPrunableTree& tree, double alpha, int32_t fold, double spread) const;
  void Store(const TPrunableTree& tree, double alpha);

  TRunState& run_;
  TTreeGrower& grower_;
  std::vector<char> saved_;  // Active as the tree was grown
  int32_t folds_ = 0;
  std::vector<TImpurity> measures_;  // the first is the one the run's tree was grown with
  std::vector<TSequence> tree_;      // [measure]
  size_t measure_ = 0;               // the chosen one
  std::vector<TFold> fold_;          // [1..folds]
};

}  // namespace tarvo
