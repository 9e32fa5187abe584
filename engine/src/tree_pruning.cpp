// Choosing the pruned size of a tree on the run's folds, nested for the fold trees.
#include "tree_pruning.h"

#include <cmath>
#include <string>

#include "cross_validation.h"
#include "tarvo/numbers.h"
#include "tarvo/tuning.h"
#include "tree_growing.h"

namespace tarvo {

std::vector<TPruningRow> PruningRows(const TPrunableTree& tree) {
  std::vector<TPruningRow> rows;
  rows.push_back(TPruningRow{0.0, tree.LeavesAt(0.0), 0.0, 0.0, {}});
  for (const TPruningStep& step : tree.Sequence()) {
    if (step.Alpha > rows.back().Alpha) {
      rows.push_back(TPruningRow{step.Alpha, tree.LeavesAt(step.Alpha), 0.0, 0.0, {}});
    }
  }
  return rows;
}

double RowProbe(const std::vector<TPruningRow>& rows, size_t r) {
  if (r + 1 >= rows.size()) return TPrunableTree::kNever;
  return std::sqrt(rows[r].Alpha * rows[r + 1].Alpha);
}

size_t ChooseRow(const std::vector<TPruningRow>& rows, PruneRule rule) {
  size_t least = 0;
  for (size_t r = 1; r < rows.size(); ++r) {
    if (rows[r].Error <= rows[least].Error) least = r;
  }
  if (rule != PruneRule::OneSe) return least;
  const double within = rows[least].Error + std::max(rows[least].StandardError, 0.0);
  size_t chosen = least;
  for (size_t r = least + 1; r < rows.size(); ++r) {
    if (rows[r].Error <= within) chosen = r;
  }
  return chosen;
}

struct TTreePruner::TFold {
  std::vector<int32_t> Test;            // the fold's objects that took part in the tree, increasing
  int32_t Training = 0;                 // the objects of the other folds that did
  double Spread = 0.0;                  // standard deviation of the training values (regression)
  std::unique_ptr<TPrunableTree> Tree;  // grown without the fold; null without training objects
  std::vector<TPruningRow> Rows;        // its own sequence, judged on the other folds
  size_t Chosen = 0;
};

TTreePruner::TTreePruner(TRunState& run, TTreeGrower& grower) : run_(run), grower_(grower) {}

TTreePruner::~TTreePruner() = default;

void TTreePruner::PruneGrownTree() {
  folds_ = run_.FoldsCrossValidate;
  tree_ = std::make_unique<TPrunableTree>(*run_.Root(), run_.C());
  rows_ = PruningRows(*tree_);
  chosen_ = 0;
  if (folds_ <= 1) return;  // nothing to choose on: the tree stays as grown
  saved_ = run_.Active;
  AssignFolds(run_, folds_);
  GrowFoldTrees();

  int32_t objects = 0;
  for (int32_t o = 1; o <= run_.N(); ++o) objects += saved_[o] ? 1 : 0;
  for (size_t r = 0; r < rows_.size(); ++r) {
    for (int32_t f = 1; f <= folds_; ++f) {
      const TFold& fold = fold_[f];
      if (!fold.Tree || fold.Test.empty()) continue;
      const double e = ErrorOnFold(*fold.Tree, RowProbe(rows_, r), f, fold.Spread);
      const int32_t tested = static_cast<int32_t>(fold.Test.size());
      rows_[r].Error += e * tested / objects;
      rows_[r].Folds.push_back(FoldError{e, tested});
    }
    rows_[r].StandardError = FoldStandardError(rows_[r].Folds);
  }
  chosen_ = ChooseRow(rows_, run_.Prune);

  GrowPairTrees();
  for (int32_t f = 1; f <= folds_; ++f) {
    TFold& fold = fold_[f];
    if (!fold.Tree) continue;
    for (TPruningRow& row : fold.Rows) row.StandardError = FoldStandardError(row.Folds);
    fold.Chosen = ChooseRow(fold.Rows, run_.Prune);
  }
  run_.Active = saved_;
  Store(*tree_, rows_[chosen_].Alpha);
}

void TTreePruner::GrowFoldTrees() {
  fold_.clear();
  fold_.resize(folds_ + 1);
  for (int32_t f = 1; f <= folds_; ++f) {
    TFold& fold = fold_[f];
    run_.Active = saved_;
    for (int32_t o = 1; o <= run_.N(); ++o) {
      if (!saved_[o]) continue;
      if (run_.FoldOf[o] == f) {
        fold.Test.push_back(o);
        run_.Active[o] = 0;
      } else {
        ++fold.Training;
      }
    }
    if (run_.Target.RegressionMode) fold.Spread = TrainingSpread(run_);
    run_.ShowProgress(
        2, " Variant " + std::to_string(run_.VariantNumber) + " Fold " + std::to_string(f));
    if (fold.Training == 0) continue;
    run_.Tree.NodesUsed = run_.Tree.BranchesUsed = 0;
    grower_.GrowTree();
    fold.Tree = std::make_unique<TPrunableTree>(*run_.Root(), run_.C());
    fold.Rows = PruningRows(*fold.Tree);
  }
  run_.Active = saved_;
}

void TTreePruner::GrowPairTrees() {
  // The tree without folds f and g serves both the fold tree without f (tested on g) and the
  // one without g (tested on f): each pair is grown once.
  for (int32_t f = 1; f < folds_; ++f) {
    for (int32_t g = f + 1; g <= folds_; ++g) {
      run_.Active = saved_;
      int32_t training = 0;
      for (int32_t o = 1; o <= run_.N(); ++o) {
        if (!saved_[o]) continue;
        if (run_.FoldOf[o] == f || run_.FoldOf[o] == g) {
          run_.Active[o] = 0;
        } else {
          ++training;
        }
      }
      if (training == 0) continue;
      const double spread = run_.Target.RegressionMode ? TrainingSpread(run_) : 0.0;
      run_.ShowProgress(2, " Variant " + std::to_string(run_.VariantNumber) + " Folds " +
                               std::to_string(f) + "," + std::to_string(g));
      run_.Tree.NodesUsed = run_.Tree.BranchesUsed = 0;
      grower_.GrowTree();
      const TPrunableTree pair(*run_.Root(), run_.C());
      const int32_t outer[2][2] = {{f, g}, {g, f}};
      for (const auto& [chooser, tested] : outer) {
        TFold& fold = fold_[chooser];
        const int32_t count = static_cast<int32_t>(fold_[tested].Test.size());
        if (!fold.Tree || count == 0) continue;
        for (size_t r = 0; r < fold.Rows.size(); ++r) {
          const double e = ErrorOnFold(pair, RowProbe(fold.Rows, r), tested, spread);
          fold.Rows[r].Error += e * count / fold.Training;
          fold.Rows[r].Folds.push_back(FoldError{e, count});
        }
      }
    }
  }
  run_.Active = saved_;
}

double TTreePruner::ErrorOnFold(const TPrunableTree& tree, double alpha, int32_t fold,
                                double spread) const {
  const std::vector<int32_t>& objects = fold_[fold].Test;
  const TDataTable& data = run_.Table.Data;
  const TTargetDescription& target = run_.Target;
  double error = 0.0;
  for (int32_t o : objects) {
    const TNodeRec& answer = tree.Answer(data, o, alpha);
    if (target.ClassificationMode) {
      const int32_t p = MajorityClass(answer.ClassCount, run_.C()).Class;
      const int32_t code = run_.Table.ValueTable[target.ClassFeature][p - 1].Code;
      if (std::trunc(data[target.ClassFeature][o]) != code) error += 1;
    } else {
      const double residual = answer.Mean - data[target.RegressionFeature][o];
      error += residual * residual;
    }
  }
  const double n = static_cast<double>(objects.size());
  if (target.ClassificationMode) return error / n;
  const double e = std::sqrt(error / n);
  return spread > 0 ? e / spread : (e == 0 ? 0.0 : 1.0);
}

double TTreePruner::CrossValidate() {
  double crossValidationError = 0.0;
  for (int32_t f = 1; f <= folds_; ++f) {
    const TFold& fold = fold_[f];
    if (!fold.Tree || fold.Test.empty()) continue;
    const double e = ErrorOnFold(*fold.Tree, fold.Rows[fold.Chosen].Alpha, f, fold.Spread);
    const int32_t tested = static_cast<int32_t>(fold.Test.size());
    crossValidationError += e * tested / (tested + fold.Training);
    if (run_.TreeCount == 1) run_.FirstTree.Folds.push_back({e, tested});
  }
  if (run_.TreeCount == 1) run_.FirstTree.CrossValidationError = crossValidationError;
  WriteCrossValidationLines(run_, folds_, crossValidationError);
  // As after the cross-validation of a tree as grown, Root holds the last fold's tree.
  for (int32_t f = folds_; f >= 1; --f) {
    if (!fold_[f].Tree) continue;
    Store(*fold_[f].Tree, fold_[f].Rows[fold_[f].Chosen].Alpha);
    break;
  }
  return crossValidationError;
}

namespace {

void StoreNode(const TPrunableTree& tree, int32_t i, double alpha, TTreeStorage& pools,
               TNodeRec* target) {
  ++pools.NodesUsed;
  const TPrunableTree::TNode& node = tree.Nodes()[i];
  const TNodeRec& source = node.Record;
  target->Feature = source.Feature;
  target->ClassCount = source.ClassCount;
  target->ObjectCount = source.ObjectCount;
  target->Dispersion = source.Dispersion;
  target->Mean = source.Mean;
  target->Terminal = source.Terminal;
  target->FirstBranch = nullptr;
  if (tree.IsLeafAt(i, alpha)) {
    if (!node.Children.empty()) target->Feature = -1;  // a collapsed node: a closed leaf
    return;
  }
  target->FirstBranch = pools.BranchRecord(pools.BranchesUsed + 1);
  for (size_t b = 0; b < node.Children.size(); ++b) {
    TBranchRec* d = pools.BranchRecord(pools.BranchesUsed + 1);
    ++pools.BranchesUsed;
    CopyBranchTest(node.Tests[b], *d);
    d->Child = pools.NodeRecord(pools.NodesUsed + 1);
    StoreNode(tree, node.Children[b], alpha, pools, d->Child);
    d->Next = b + 1 < node.Children.size() ? pools.BranchRecord(pools.BranchesUsed + 1) : nullptr;
  }
}

}  // namespace

void TTreePruner::Store(const TPrunableTree& tree, double alpha) {
  run_.Tree.NodesUsed = run_.Tree.BranchesUsed = 0;
  StoreNode(tree, 0, alpha, run_.Tree, run_.Root());
  run_.LeafCount = tree.LeavesAt(alpha);
}

void TTreePruner::WritePruningTable() {
  ReportFile& out = run_.Report;
  out.EndLine();
  if (folds_ <= 1) {
    out.Line(" Pruning needs at least 2 folds of cross-validation: the tree is not pruned");
    return;
  }
  out.Line(" Pruning (" + std::string(PruneRuleName(run_.Prune)) + ") on" +
           FormatInteger(folds_, 3) + " folds:");
  out.Line("  Complexity Leaves  Error St.error");
  // Complexities per leaf relative to what the root alone costs, so that they read alike in
  // every table.
  const double scale = tree_->RootCost() > 0 ? tree_->RootCost() : 1.0;
  for (size_t r = 0; r < rows_.size(); ++r) {
    const TPruningRow& row = rows_[r];
    std::string line = FormatReal(row.Alpha / scale, 12, 4) + FormatInteger(row.Leaves, 7) +
                       FormatReal(row.Error, 7, 3);
    line += row.StandardError < 0 ? std::string("        -") : FormatReal(row.StandardError, 9, 3);
    if (r == chosen_) line += "  chosen";
    out.Line(line);
  }
}

}  // namespace tarvo
