// GrowTree, SearchSubtree, SelectFeatureSubset, StoreSubtree and FindLeafToExpand.
#include "tree_growing.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tarvo/pruning.h"

namespace tarvo {

TTreeGrower::TTreeGrower(TRunState& run, int32_t threads)
    : run_(run),
      workers_(threads > 1 ? std::make_unique<TFeatureWorkers>(run, threads) : nullptr),
      search_(run, run.Records) {}

void TTreeGrower::CollectObjects() {
  run_.ObjList.clear();
  leafObjects_.clear();
  for (int32_t o = 1; o <= run_.N(); ++o) {
    if (run_.Active[o]) run_.ObjList.push_back(o);
  }
}

void TTreeGrower::CollectLeafObjects(const TNodeRec* leaf) {
  run_.ObjList.clear();
  const auto objects = leafObjects_.find(leaf);
  if (objects == leafObjects_.end()) return;
  run_.ObjList = std::move(objects->second);
  leafObjects_.erase(objects);
}

void TTreeGrower::RouteObjects(const TNodeRec* from) {
  // ObjList is in increasing order, and so is every leaf's list made from it.
  for (int32_t o : run_.ObjList) {
    if (const TNodeRec* leaf = branches_.LeafReached(run_.Table.Data, *from, o)) {
      leafObjects_[leaf].push_back(o);
    }
  }
}

bool TTreeGrower::TakeLeafToExpand(TNodePath& path, int32_t& depth, std::vector<int32_t>& order) {
  const bool found = leaves_.TakeBest(path, depth, order);
  if (run_.CheckLeafQueue) {
    TNodePath walked;
    int32_t walkedDepth = 0;
    const bool walkFound = FindLeafToExpand(walked, walkedDepth);
    const auto sameStep = [](const TPathStep& a, const TPathStep& b) {
      return a.Branch == b.Branch && a.Feature == b.Feature;
    };
    if (walkFound != found ||
        (found && !std::equal(path.begin(), path.begin() + depth, walked.begin(),
                              walked.begin() + walkedDepth, sameStep))) {
      throw std::logic_error("the leaf queue and the tree walk chose different leaves");
    }
  }
  return found;
}

void TTreeGrower::AddOpenLeaves(const TNodeRec& from, const TNodePath& path,
                                const std::vector<int32_t>& order) {
  leaves_.AddLeavesBelow(from, path, order, run_.Target.DispersionWeight, run_.Target.ErrorWeight,
                         run_.C());
}

void TTreeGrower::ShowTotal(double total) {
  run_.ShowProgress(1, " Node " + std::to_string(static_cast<int64_t>(std::trunc(total))));
}

void TTreeGrower::GrowTree() {
  run_.StartTree();
  branches_.Clear();  // the records of the last tree are reused
  CollectObjects();
  double total = 0.0;
  TNodeRec* root = run_.Root();
  const int32_t n = static_cast<int32_t>(run_.ObjList.size());
  if (n == 0) {
    // Nothing to learn from: the tree is one empty leaf that answers class 1 and mean 0.
    run_.Tree.NodesUsed = 1;
    *root = TNodeRec{};
    run_.LeafCount = 1;
    ShowTotal(total);
    return;
  }
  TSubtree first = SearchOrCut(n, 0);
  run_.LeafCount = first.Leaves;
  StoreSubtree(*first.Root, root);
  run_.Records.FreeSubtree(first.Root);
  RouteObjects(root);
  total += first.Leaves;
  ShowTotal(total);

  TNodePath path;
  int32_t depth = 0;
  std::vector<int32_t> order;
  leaves_.Clear();
  AddOpenLeaves(*root, path, order);
  while (run_.LeafCount < run_.N()) {
    if (!TakeLeafToExpand(path, depth, order)) break;
    TNodeRec* leaf = path[depth - 1].Branch->Child;
    CollectLeafObjects(leaf);
    const int32_t objects = static_cast<int32_t>(run_.ObjList.size());
    if (objects == 0) {  // cannot happen for a leaf the search made; closing it keeps growth finite
      leaf->Feature = -1;
      continue;
    }
    // The feature tested at the leaf's parent may not be tested again at the leaf.
    TSubtree grown = SearchOrCut(objects, path[depth - 1].Feature);
    total += grown.Leaves;
    ShowTotal(total);
    if (run_.LeafCount + grown.Leaves - 1 < run_.N()) {
      run_.LeafCount += grown.Leaves - 1;
      StoreSubtree(*grown.Root, leaf);
      if (!leaf->FirstBranch) leaf->Feature = -1;
      RouteObjects(leaf);
      AddOpenLeaves(*leaf, path, order);
    } else {
      leaf->Feature = -1;
    }
    run_.Records.FreeSubtree(grown.Root);
  }
}

namespace {

// The run's search settings switched to those of binary growth without look-ahead for as long as
// it lives.
class TBinaryCutScope {
 public:
  explicit TBinaryCutScope(TRunState& run)
      : run_(run),
        baseLookAhead_(run.BaseLookAhead),
        lookAhead_(run.Parameters.RecursiveComplexity),
        leafWeight_(run.LeafWeight),
        binarySplits_(run.BinarySplits),
        impurityScores_(run.ImpurityScores) {
    run.BaseLookAhead = 1;
    run.Parameters.RecursiveComplexity = 1.0;
    // A cut pays as it would at binary growth's target weight.
    run.LeafWeight = leafWeight_ * kPruneTargetWeight / kPruneBinaryTargetWeight;
    run.BinarySplits = run.ImpurityScores = true;
  }
  ~TBinaryCutScope() {
    run_.BaseLookAhead = baseLookAhead_;
    run_.Parameters.RecursiveComplexity = lookAhead_;
    run_.LeafWeight = leafWeight_;
    run_.BinarySplits = binarySplits_;
    run_.ImpurityScores = impurityScores_;
  }
  TBinaryCutScope(const TBinaryCutScope&) = delete;
  TBinaryCutScope& operator=(const TBinaryCutScope&) = delete;

 private:
  TRunState& run_;
  const int32_t baseLookAhead_;
  const double lookAhead_;
  const double leafWeight_;
  const bool binarySplits_;
  const bool impurityScores_;
};

}  // namespace

TTreeGrower::TSubtree TTreeGrower::SearchOrCut(int32_t n, int32_t excludedFeature) {
  TSubtree grown = SearchSubtree(n, excludedFeature);
  if (!run_.CutsBelowSearch || grown.Root->FirstBranch || grown.Root->Terminal) return grown;
  run_.Records.FreeSubtree(grown.Root);
  const TBinaryCutScope binary(run_);
  return SearchSubtree(n, excludedFeature);
}

TTreeGrower::TSubtree TTreeGrower::SearchSubtree(int32_t n, int32_t excludedFeature) {
  TSubtree kept;
  double bestScore = kMissingScore;
  const int32_t m = run_.M();
  run_.LookAhead = static_cast<int64_t>(run_.BaseLookAhead) - 1;
  for (;;) {
    ++run_.LookAhead;
    TFeatureMask mask;
    int32_t k = 0;
    if (!SelectFeatureSubset(mask, k)) break;
    for (int32_t f = 1; f <= m; ++f) {
      run_.FeatureScore[f] = kMissingScore;
      run_.FeatureScoreCount[f] = 0;
    }
    run_.ScoresRead = NextSearchReadsScores();
    TNodeRec* node = run_.Records.NewNode();
    const int32_t* objects = run_.ObjList.data();
    const TSearchResult result =
        workers_ ? workers_->SearchSplit(search_, *node, objects, n, mask, excludedFeature)
                 : search_.SearchSplit(*node, objects, n, mask, 0, excludedFeature);
    // The first search is always kept, so even a score beyond the missing score yields a tree;
    // later ones replace it only when strictly better: equal scores keep the shallower search.
    if (!kept.Root || result.Score < bestScore) {
      run_.Records.FreeSubtree(kept.Root);
      kept.Root = node;
      kept.Leaves = result.Figures.Leaves;
      bestScore = result.Score;
    } else {
      run_.Records.FreeSubtree(node);
    }
    for (int32_t f = 1; f <= m; ++f) {
      if (run_.FeatureScoreCount[f] > 0) run_.FeatureScore[f] /= run_.FeatureScoreCount[f];
    }
    if (run_.LookAhead == m) break;
  }
  return kept;
}

bool TTreeGrower::RankedSubsetSize(int64_t lookAhead, int32_t& k) const {
  if (run_.Parameters.RecursiveComplexity == run_.BaseLookAhead) {
    k = 0;
    return true;
  }
  const double fraction = run_.Parameters.RecursiveComplexity - run_.BaseLookAhead;
  if (fraction < 0) return false;  // a negative fraction has no logarithm: the series ends
  k = static_cast<int32_t>(
      std::trunc(std::exp(static_cast<double>(lookAhead - 1) * std::log(fraction)) * run_.M()));
  return true;
}

bool TTreeGrower::NextSearchReadsScores() const {
  if (run_.LookAhead == run_.M()) return false;  // the series ends with this search
  const int64_t next = run_.LookAhead + 1;
  if (next == 1 || next <= run_.BaseLookAhead) return false;  // every allowed feature, unranked
  int32_t k = 0;
  return RankedSubsetSize(next, k) && k > 1 && next <= k;
}

bool TTreeGrower::SelectFeatureSubset(TFeatureMask& mask, int32_t& k) {
  const int32_t m = run_.M();
  // The first search of every series runs with all the features the run allows.
  if (run_.LookAhead == 1 || run_.LookAhead <= run_.BaseLookAhead) {
    mask = run_.PredictorMask;
    k = m;
    return true;
  }
  if (!RankedSubsetSize(run_.LookAhead, k)) return false;
  if (k <= 1 || run_.LookAhead > k) return false;

  // Rank the features by their average score, smallest first, by a partial selection sort.
  std::vector<std::pair<double, int32_t>> ranked(m + 1);
  for (int32_t f = 1; f <= m; ++f) ranked[f] = {run_.FeatureScore[f], f};
  for (int32_t j = 1; j <= k; ++j) {
    int32_t p = j;
    double smallest = kMissingScore;
    for (int32_t i = j; i <= m; ++i) {
      if (ranked[i].first < smallest) {
        smallest = ranked[i].first;
        p = i;
      }
    }
    std::swap(ranked[j], ranked[p]);
  }
  // Features that the last search never scored are not chosen.
  while (ranked[k].first == kMissingScore && k > 1) --k;
  if (k < 2) return false;
  mask = TFeatureMask{};
  for (int32_t j = 1; j <= k; ++j) mask[ranked[j].second] = true;
  return true;
}

void TTreeGrower::StoreSubtree(const TNodeRec& source, TNodeRec* target) {
  TTreeStorage& tree = run_.Tree;
  ++tree.NodesUsed;
  target->Feature = source.Feature;
  target->ClassCount = source.ClassCount;
  target->ObjectCount = source.ObjectCount;
  target->Dispersion = source.Dispersion;
  target->Mean = source.Mean;
  target->Terminal = source.Terminal;
  if (!source.FirstBranch) {
    target->FirstBranch = nullptr;
    return;
  }
  // A pre-order copy: a node takes its record before its children.
  target->FirstBranch = tree.BranchRecord(tree.BranchesUsed + 1);
  for (const TBranchRec* b = source.FirstBranch; b; b = b->Next) {
    TBranchRec* d = tree.BranchRecord(tree.BranchesUsed + 1);
    ++tree.BranchesUsed;
    CopyBranchTest(*b, *d);
    d->Child = tree.NodeRecord(tree.NodesUsed + 1);
    StoreSubtree(*b->Child, d->Child);
    d->Next = b->Next ? tree.BranchRecord(tree.BranchesUsed + 1) : nullptr;
  }
}

bool TTreeGrower::FindLeafToExpand(TNodePath& path, int32_t& depth) {
  double bestScore = -100000;
  bool found = false;
  const double dispersionWeight = run_.Target.DispersionWeight;
  const double errorWeight = run_.Target.ErrorWeight;
  // The root alone is never expanded here: a tree's first search grew it.
  const TNodeRec* root = run_.Root();
  if (!root->FirstBranch) return false;
  // Depth first, branches in list order; the first of equal scores wins. The walk holds the
  // branch taken at each level; it runs on an explicit stack, as it runs for every expansion.
  TNodePath& walk = walk_;
  walk.assign(1, TPathStep{root->FirstBranch, root->Feature});
  while (!walk.empty()) {
    const TNodeRec* node = walk.back().Branch->Child;
    if (node->FirstBranch) {
      walk.push_back(TPathStep{node->FirstBranch, node->Feature});
      continue;
    }
    if (node->Feature != -1 && !node->Terminal) {
      const int32_t errors = MajorityClass(node->ClassCount, run_.C()).Errors;
      const double score = dispersionWeight * node->Dispersion + errorWeight * errors;
      if (score > bestScore) {
        bestScore = score;
        path = walk;
        depth = static_cast<int32_t>(walk.size());
        found = true;
      }
    }
    // On to the next branch of the deepest node that has one left.
    while (!walk.empty() && !walk.back().Branch->Next) walk.pop_back();
    if (!walk.empty()) walk.back().Branch = walk.back().Branch->Next;
  }
  return found;
}

}  // namespace tarvo
