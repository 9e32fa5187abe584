// Choosing the pruned size of a tree on the run's folds, nested for the fold trees.
#include "tree_pruning.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

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

namespace {

// Folds that tested nothing (a table with fewer objects than folds) say nothing about the size:
// the tree is then kept as grown.
size_t Choose(const std::vector<TPruningRow>& rows, PruneRule rule) {
  return rows.front().Folds.empty() ? 0 : ChooseRow(rows, rule);
}

}  // namespace

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
  folds_ = run_.Parameters.FoldsCrossValidate;
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
  chosen_ = Choose(rows_, run_.Prune);

  GrowPairTrees();
  for (int32_t f = 1; f <= folds_; ++f) {
    TFold& fold = fold_[f];
    if (!fold.Tree) continue;
    for (TPruningRow& row : fold.Rows) row.StandardError = FoldStandardError(row.Folds);
    fold.Chosen = Choose(fold.Rows, run_.Prune);
  }
  run_.Active = saved_;
  Store(*tree_, rows_[chosen_].Alpha);
}

void TTreePruner::GrowFoldTrees() {
  fold_.clear();
  fold_.resize(folds_ + 1);
  std::vector<TGrowJob> jobs;
  std::vector<int32_t> jobFold;
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
    if (fold.Training == 0) continue;
    jobs.push_back(TGrowJob{
        run_.Active,
        " Variant " + std::to_string(run_.VariantNumber) + " Fold " + std::to_string(f), nullptr});
    jobFold.push_back(f);
  }
  run_.Active = saved_;
  GrowTrees(jobs);
  for (size_t j = 0; j < jobs.size(); ++j) {
    TFold& fold = fold_[jobFold[j]];
    fold.Tree = std::move(jobs[j].Tree);
    fold.Rows = PruningRows(*fold.Tree);
  }
}

void TTreePruner::GrowPairTrees() {
  // The tree without folds f and g serves both the fold tree without f (tested on g) and the
  // one without g (tested on f): each pair is grown once.
  std::vector<TGrowJob> jobs;
  std::vector<std::pair<int32_t, int32_t>> jobPair;
  std::vector<double> jobSpread;
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
      jobSpread.push_back(run_.Target.RegressionMode ? TrainingSpread(run_) : 0.0);
      jobs.push_back(TGrowJob{run_.Active,
                              " Variant " + std::to_string(run_.VariantNumber) + " Folds " +
                                  std::to_string(f) + "," + std::to_string(g),
                              nullptr});
      jobPair.emplace_back(f, g);
    }
  }
  run_.Active = saved_;
  GrowTrees(jobs);
  // The errors are added in pair order, so that every fold's sums run over the other folds in
  // increasing order whichever thread grew which tree.
  for (size_t j = 0; j < jobs.size(); ++j) {
    const auto [f, g] = jobPair[j];
    const int32_t outer[2][2] = {{f, g}, {g, f}};
    for (const auto& [chooser, tested] : outer) {
      TFold& fold = fold_[chooser];
      const int32_t count = static_cast<int32_t>(fold_[tested].Test.size());
      if (!fold.Tree || count == 0) continue;
      for (size_t r = 0; r < fold.Rows.size(); ++r) {
        const double e = ErrorOnFold(*jobs[j].Tree, RowProbe(fold.Rows, r), tested, jobSpread[j]);
        fold.Rows[r].Error += e * count / fold.Training;
        fold.Rows[r].Folds.push_back(FoldError{e, count});
      }
    }
    jobs[j].Tree.reset();
  }
}

void TTreePruner::GrowTrees(std::vector<TGrowJob>& jobs) {
  const int32_t threads = std::min(run_.SearchThreads, static_cast<int32_t>(jobs.size()));
  if (threads > 1) {
    GrowTreesSideBySide(jobs, threads);
    return;
  }
  for (TGrowJob& job : jobs) {
    run_.Active = job.Active;
    run_.ShowProgress(2, job.Label);
    run_.Tree.NodesUsed = run_.Tree.BranchesUsed = 0;
    grower_.GrowTree();
    job.Tree = std::make_unique<TPrunableTree>(*run_.Root(), run_.C());
  }
  run_.Active = saved_;
}

namespace {

// A run state that grows trees as the run's own would: the table, the target, the settings and
// the feature mask of the run, with pools, records and working arrays of its own, and no report,
// progress or observer. It stops when stop is set.
std::unique_ptr<TRunState> GrowingState(const TRunState& run, const std::atomic<bool>* stop) {
  auto state = std::make_unique<TRunState>();
  state->Parameters = run.Parameters;
  state->Prune = run.Prune;
  state->CancelRequested = stop;
  state->SearchThreads = 1;
  state->Random = run.Random;
  state->Table = run.Table;
  state->Target = run.Target;
  state->ValueRanks = run.ValueRanks;
  state->LeafWeight = run.LeafWeight;
  state->CostWeight = run.CostWeight;
  state->FeatureCost = run.FeatureCost;
  state->BaseLookAhead = run.BaseLookAhead;
  state->HomogeneityCount = run.HomogeneityCount;
  state->ChiSquareTable = run.ChiSquareTable;
  state->PredictorMask = run.PredictorMask;
  state->TargetValue = run.TargetValue;
  state->TargetClass = run.TargetClass;
  state->Tree.Create(run.N());
  state->VariantNumber = run.VariantNumber;
  state->TreeCount = run.TreeCount;
  state->FeatureScore.assign(run.FeatureScore.size(), kMissingScore);
  state->FeatureScoreCount.assign(run.FeatureScoreCount.size(), 0.0);
  state->LeafMergeShortcut = run.LeafMergeShortcut;
  state->BinarySplits = run.BinarySplits;
  state->DispersionTest = run.DispersionTest;
  state->GiniScores = run.GiniScores;
  state->CutsBelowSearch = run.CutsBelowSearch;
  return state;
}

}  // namespace

void TTreePruner::GrowTreesSideBySide(std::vector<TGrowJob>& jobs, int32_t threads) {
  std::mutex mutex;
  std::condition_variable finished;
  size_t next = 0, done = 0;
  std::exception_ptr error;
  std::atomic<bool> stop{false};
  bool cancelled = false;
  {
    std::vector<std::jthread> workers;
    for (int32_t t = 0; t < threads; ++t) {
      workers.emplace_back([&] {
        try {
          std::unique_ptr<TRunState> state = GrowingState(run_, &stop);
          TTreeGrower grower(*state, 1);
          for (;;) {
            size_t j = 0;
            {
              const std::lock_guard<std::mutex> hold(mutex);
              if (error || next == jobs.size()) return;
              j = next++;
            }
            state->Active = jobs[j].Active;
            state->Tree.NodesUsed = state->Tree.BranchesUsed = 0;
            grower.GrowTree();
            jobs[j].Tree = std::make_unique<TPrunableTree>(*state->Root(), state->C());
            const std::lock_guard<std::mutex> hold(mutex);
            ++done;
            finished.notify_all();
          }
        } catch (...) {
          const std::lock_guard<std::mutex> hold(mutex);
          if (!error) error = std::current_exception();
          stop = true;
          finished.notify_all();
        }
      });
    }
    // The caller's thread tells the progress, and passes a stop request on to the workers.
    size_t told = 0;
    std::unique_lock<std::mutex> lock(mutex);
    while (done < jobs.size() && !error && !cancelled) {
      finished.wait_for(lock, std::chrono::milliseconds(50));
      for (; told < done; ++told) {
        ++run_.TreesStarted;
        if (run_.Progress) run_.Progress->TreeStarted(run_.TreesStarted);
        run_.ShowProgress(2, jobs[told].Label);
      }
      if (run_.CancelRequested && run_.CancelRequested->load(std::memory_order_relaxed)) {
        stop = true;
        cancelled = true;
      }
    }
  }  // the lock is released, then the workers are joined
  if (cancelled) throw RunCancelled();
  if (error) std::rethrow_exception(error);
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
