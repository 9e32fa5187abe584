// Choosing the pruned size of a tree on the run's folds, nested for the fold trees.
#include "tree_pruning.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <functional>
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

std::string MeasureName(TImpurity measure) {
  return measure == TImpurity::Entropy ? "entropy" : "Gini";
}

}  // namespace

std::vector<TImpurity> PrunedImpurities(const TRunState& run) {
  if (run.ImpurityScores && run.Target.ClassificationMode) {
    return {TImpurity::Gini, TImpurity::Entropy};
  }
  return {run.ImpurityMeasure};
}

struct TTreePruner::TFold {
  std::vector<int32_t> Test;         // the fold's objects that took part in the tree, increasing
  int32_t Training = 0;              // the objects of the other folds that did
  double Spread = 0.0;               // standard deviation of the training values (regression)
  std::vector<TSequence> ByMeasure;  // grown without the fold; none without training objects
  size_t Measure = 0;                // the chosen one
};

TTreePruner::TTreePruner(TRunState& run, TTreeGrower& grower) : run_(run), grower_(grower) {}

TTreePruner::~TTreePruner() = default;

size_t TTreePruner::BestSequence(const std::vector<TSequence>& sequences) {
  size_t best = 0;
  double bestError = 0.0;
  for (size_t m = 0; m < sequences.size(); ++m) {
    const std::vector<TPruningRow>& rows = sequences[m].Rows;
    const double error = rows[ChooseRow(rows, PruneRule::Min)].Error;
    if (m == 0 || error < bestError) {
      best = m;
      bestError = error;
    }
  }
  return best;
}

void TTreePruner::PruneGrownTree() {
  folds_ = run_.Parameters.FoldsCrossValidate;
  measures_ = PrunedImpurities(run_);
  tree_.clear();
  tree_.resize(measures_.size());
  tree_[0].Tree = std::make_unique<TPrunableTree>(*run_.Root(), run_.C());
  tree_[0].Rows = PruningRows(*tree_[0].Tree);
  measure_ = 0;
  if (folds_ <= 1) {  // nothing to choose on: the tree stays as grown
    tree_.resize(1);
    measures_.resize(1);
    return;
  }
  saved_ = run_.Active;
  AssignFolds(run_, folds_);
  GrowFoldTrees();

  int32_t objects = 0;
  for (int32_t o = 1; o <= run_.N(); ++o) objects += saved_[o] ? 1 : 0;
  for (size_t m = 0; m < tree_.size(); ++m) {
    std::vector<TPruningRow>& rows = tree_[m].Rows;
    for (size_t r = 0; r < rows.size(); ++r) {
      for (int32_t f = 1; f <= folds_; ++f) {
        const TFold& fold = fold_[f];
        if (fold.ByMeasure.empty() || fold.Test.empty()) continue;
        const double e = ErrorOnFold(*fold.ByMeasure[m].Tree, RowProbe(rows, r), f, fold.Spread);
        const int32_t tested = static_cast<int32_t>(fold.Test.size());
        rows[r].Error += e * tested / objects;
        rows[r].Folds.push_back(FoldError{e, tested});
      }
      rows[r].StandardError = FoldStandardError(rows[r].Folds);
    }
    tree_[m].Chosen = Choose(rows, run_.Prune);
  }
  measure_ = BestSequence(tree_);

  GrowPairTrees();
  for (int32_t f = 1; f <= folds_; ++f) {
    TFold& fold = fold_[f];
    if (fold.ByMeasure.empty()) continue;
    for (TSequence& sequence : fold.ByMeasure) {
      for (TPruningRow& row : sequence.Rows) row.StandardError = FoldStandardError(row.Folds);
      sequence.Chosen = Choose(sequence.Rows, run_.Prune);
    }
    fold.Measure = BestSequence(fold.ByMeasure);
  }
  run_.Active = saved_;
  Store(*tree_[measure_].Tree, tree_[measure_].Rows[tree_[measure_].Chosen].Alpha);
}

void TTreePruner::GrowFoldTrees() {
  fold_.clear();
  fold_.resize(folds_ + 1);
  // The run's tree with the other impurities first: it grows on every object.
  std::vector<TGrowJob> jobs;
  const std::string variant = " Variant " + std::to_string(run_.VariantNumber);
  for (size_t m = 1; m < measures_.size(); ++m) {
    jobs.push_back(
        TGrowJob{saved_, variant + " " + MeasureName(measures_[m]), measures_[m], nullptr});
  }
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
    for (TImpurity measure : measures_) {
      jobs.push_back(
          TGrowJob{run_.Active, variant + " Fold " + std::to_string(f), measure, nullptr});
      jobFold.push_back(f);
    }
  }
  run_.Active = saved_;
  GrowTrees(jobs);
  const size_t others = measures_.size() - 1;
  for (size_t m = 1; m < measures_.size(); ++m) {
    tree_[m].Tree = std::move(jobs[m - 1].Tree);
    tree_[m].Rows = PruningRows(*tree_[m].Tree);
  }
  for (size_t j = others; j < jobs.size(); ++j) {
    TSequence& sequence = fold_[jobFold[j - others]].ByMeasure.emplace_back();
    sequence.Tree = std::move(jobs[j].Tree);
    sequence.Rows = PruningRows(*sequence.Tree);
  }
}

namespace {

// The two uses of the tree grown without folds f and g: the fold tree without f chooses on it
// tested on g, and the one without g tested on f. Each as {chooser, tested}.
std::array<std::pair<int32_t, int32_t>, 2> PairSides(std::pair<int32_t, int32_t> pair) {
  return {{{pair.first, pair.second}, {pair.second, pair.first}}};
}

}  // namespace

void TTreePruner::GrowPairTrees() {
  // The tree without folds f and g serves both the fold tree without f (tested on g) and the
  // one without g (tested on f): each pair is grown once for each impurity.
  std::vector<TGrowJob> jobs;
  std::vector<std::pair<int32_t, int32_t>> jobPair;
  std::vector<size_t> jobMeasure;
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
      const double spread = run_.Target.RegressionMode ? TrainingSpread(run_) : 0.0;
      for (size_t m = 0; m < measures_.size(); ++m) {
        jobSpread.push_back(spread);
        jobs.push_back(TGrowJob{run_.Active,
                                " Variant " + std::to_string(run_.VariantNumber) + " Folds " +
                                    std::to_string(f) + "," + std::to_string(g),
                                measures_[m], nullptr});
        jobPair.emplace_back(f, g);
        jobMeasure.push_back(m);
      }
    }
  }
  run_.Active = saved_;
  // Each tree is tested on its two folds as soon as it is grown, by the thread that grew it, and
  // freed: only the trees being grown are held, however many pairs there are.
  std::vector<std::array<std::vector<double>, 2>> jobErrors(jobs.size());
  GrowTrees(jobs, [&](size_t j, std::unique_ptr<TPrunableTree>& tree) {
    const auto sides = PairSides(jobPair[j]);
    for (size_t side = 0; side < 2; ++side) {
      const auto [chooser, tested] = sides[side];
      const TFold& fold = fold_[chooser];
      if (fold.ByMeasure.empty() || fold_[tested].Test.empty()) continue;
      const std::vector<TPruningRow>& rows = fold.ByMeasure[jobMeasure[j]].Rows;
      for (size_t r = 0; r < rows.size(); ++r) {
        jobErrors[j][side].push_back(ErrorOnFold(*tree, RowProbe(rows, r), tested, jobSpread[j]));
      }
    }
    tree.reset();
  });
  // The errors are added in pair order, so that every fold's sums run over the other folds in
  // increasing order whichever thread grew which tree.
  for (size_t j = 0; j < jobs.size(); ++j) {
    const auto sides = PairSides(jobPair[j]);
    for (size_t side = 0; side < 2; ++side) {
      const auto [chooser, tested] = sides[side];
      const std::vector<double>& errors = jobErrors[j][side];
      if (errors.empty()) continue;
      TFold& fold = fold_[chooser];
      const int32_t count = static_cast<int32_t>(fold_[tested].Test.size());
      std::vector<TPruningRow>& rows = fold.ByMeasure[jobMeasure[j]].Rows;
      for (size_t r = 0; r < rows.size(); ++r) {
        rows[r].Error += errors[r] * count / fold.Training;
        rows[r].Folds.push_back(FoldError{errors[r], count});
      }
    }
  }
}

void TTreePruner::GrowTrees(std::vector<TGrowJob>& jobs, const TGrown& grown) {
  const int32_t threads = std::min(run_.SearchThreads, static_cast<int32_t>(jobs.size()));
  if (threads > 1) {
    GrowTreesSideBySide(jobs, threads, grown);
    return;
  }
  const TImpurity measure = run_.ImpurityMeasure;
  for (size_t j = 0; j < jobs.size(); ++j) {
    TGrowJob& job = jobs[j];
    run_.Active = job.Active;
    run_.ImpurityMeasure = job.Measure;
    run_.ShowProgress(2, job.Label);
    run_.Tree.NodesUsed = run_.Tree.BranchesUsed = 0;
    grower_.GrowTree();
    job.Tree = std::make_unique<TPrunableTree>(*run_.Root(), run_.C());
    if (grown) grown(j, job.Tree);
  }
  run_.Active = saved_;
  run_.ImpurityMeasure = measure;
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
  state->ImpurityScores = run.ImpurityScores;
  state->CutsBelowSearch = run.CutsBelowSearch;
  return state;
}

}  // namespace

void TTreePruner::GrowTreesSideBySide(std::vector<TGrowJob>& jobs, int32_t threads,
                                      const TGrown& grown) {
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
            state->ImpurityMeasure = jobs[j].Measure;
            state->Tree.NodesUsed = state->Tree.BranchesUsed = 0;
            grower.GrowTree();
            jobs[j].Tree = std::make_unique<TPrunableTree>(*state->Root(), state->C());
            if (grown) grown(j, jobs[j].Tree);
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
    if (fold.ByMeasure.empty() || fold.Test.empty()) continue;
    const TSequence& chosen = fold.ByMeasure[fold.Measure];
    const double e = ErrorOnFold(*chosen.Tree, chosen.Rows[chosen.Chosen].Alpha, f, fold.Spread);
    const int32_t tested = static_cast<int32_t>(fold.Test.size());
    crossValidationError += e * tested / (tested + fold.Training);
    if (run_.TreeCount == 1) run_.FirstTree.Folds.push_back({e, tested});
  }
  if (run_.TreeCount == 1) run_.FirstTree.CrossValidationError = crossValidationError;
  WriteCrossValidationLines(run_, folds_, crossValidationError);
  // As after the cross-validation of a tree as grown, Root holds the last fold's tree as grown,
  // whose root the next variant leaves out. Cut to its size it is often a single leaf, which would
  // end the variants although the reported tree split its root.
  for (int32_t f = folds_; f >= 1; --f) {
    if (fold_[f].ByMeasure.empty()) continue;
    Store(*fold_[f].ByMeasure[fold_[f].Measure].Tree, 0.0);
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
  const TSequence& sequence = tree_[measure_];
  const double scale = sequence.Tree->RootCost() > 0 ? sequence.Tree->RootCost() : 1.0;
  for (size_t r = 0; r < sequence.Rows.size(); ++r) {
    const TPruningRow& row = sequence.Rows[r];
    // Where no fold tested an object (fewer objects than folds) there is no error to show.
    std::string line = FormatReal(row.Alpha / scale, 12, 4) + FormatInteger(row.Leaves, 7) +
                       (row.Folds.empty() ? std::string("      -") : FormatReal(row.Error, 7, 3));
    line += row.StandardError < 0 ? std::string("        -") : FormatReal(row.StandardError, 9, 3);
    if (r == sequence.Chosen) line += "  chosen";
    out.Line(line);
  }
  if (tree_.size() < 2) return;
  // Which impurity the cuts were grown with, and the least error of each.
  std::string line =
      " Impurity of the cuts: " + MeasureName(measures_[measure_]) + " (least error:";
  for (size_t m = 0; m < tree_.size(); ++m) {
    const TPruningRow& least = tree_[m].Rows[ChooseRow(tree_[m].Rows, PruneRule::Min)];
    line += (m == 0 ? " " : ", ") + MeasureName(measures_[m]) +
            (least.Folds.empty() ? std::string(" -") : FormatReal(least.Error, 6, 3));
  }
  out.Line(line + ")");
}

}  // namespace tarvo
