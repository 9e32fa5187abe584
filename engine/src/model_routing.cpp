// Routing objects through kept trees, the vote, and the test error.
#include "model_routing.h"

#include <cmath>

namespace tarvo {

namespace {

bool ModelBranchAccepts(const ModelBranch& b, double x) {
  if (!b.Interval) {
    const double whole = std::trunc(x);
    for (int32_t code : b.Values) {
      if (whole == code) return true;
    }
    return false;
  }
  return (b.OpenBelow || b.Low < x) && (b.OpenAbove || x <= b.High);
}

// Appends node and everything below it, depth-first in branch order; returns its index.
int32_t AppendNode(const TNodeRec& node, int32_t classes, ModelTree& tree) {
  const int32_t index = static_cast<int32_t>(tree.Nodes.size());
  ModelNode& added = tree.Nodes.emplace_back();
  added.Feature = node.FirstBranch ? node.Feature : 0;
  added.ClassCounts.assign(node.ClassCount.begin() + 1, node.ClassCount.begin() + 1 + classes);
  added.Mean = node.Mean;
  for (const TBranchRec* b = node.FirstBranch; b; b = b->Next) {
    ModelBranch branch;
    branch.Interval = b->Kind != ftNominal;
    branch.Low = b->Low;
    branch.High = b->High;
    branch.OpenBelow = b->OpenBelow;
    branch.OpenAbove = b->OpenAbove;
    branch.Values = b->Values;
    branch.Child = AppendNode(*b->Child, classes, tree);
    tree.Nodes[index].Branches.push_back(std::move(branch));  // `added` may have moved
  }
  return index;
}

}  // namespace

ModelTree ModelTreeOf(const TNodeRec& root, int32_t classes) {
  ModelTree tree;
  AppendNode(root, classes, tree);
  return tree;
}

TTreeRouter::TTreeRouter(const ModelTree& tree) : tree_(tree), intervals_(tree.Nodes.size()) {
  for (size_t n = 0; n < tree.Nodes.size(); ++n) {
    const std::vector<ModelBranch>& branches = tree.Nodes[n].Branches;
    if (branches.size() <= static_cast<size_t>(kScannedBranches)) continue;
    std::vector<TIntervalBounds> bounds;
    for (const ModelBranch& b : branches) {
      if (!b.Interval) break;
      bounds.push_back(BoundsOf(b));
    }
    if (bounds.size() == branches.size()) intervals_[n] = TIntervalIndex(bounds);
  }
}

const ModelBranch* TTreeRouter::BranchTaken(int32_t node, double x) const {
  const std::vector<ModelBranch>& branches = tree_.Nodes[node].Branches;
  const TIntervalIndex& intervals = intervals_[node];
  if (intervals.Empty()) {
    for (const ModelBranch& b : branches) {
      if (ModelBranchAccepts(b, x)) return &b;
    }
    return nullptr;
  }
  const int32_t k = intervals.Candidate(x);
  if (k < 0) return nullptr;
  const ModelBranch& candidate = branches[static_cast<size_t>(k)];
  return ModelBranchAccepts(candidate, x) ? &candidate : nullptr;
}

const ModelNode& TTreeRouter::NodeReached(const TDataTable& data, int32_t object) const {
  int32_t at = 0;
  for (;;) {
    const ModelNode& node = tree_.Nodes[at];
    if (node.Branches.empty()) break;
    const double x = data[node.Feature][object];
    if (!IsKnown(x)) break;
    const ModelBranch* taken = BranchTaken(at, x);
    if (!taken) break;
    at = taken->Child;
  }
  return tree_.Nodes[at];
}

int32_t MajorityOf(const std::vector<int32_t>& classCounts) {
  size_t best = 0;
  for (size_t c = 1; c < classCounts.size(); ++c) {
    if (classCounts[c] > classCounts[best]) best = c;
  }
  return static_cast<int32_t>(best) + 1;
}

std::vector<double> VotingWeightsOf(const std::vector<double>& crossValidationErrors,
                                    int32_t folds) {
  std::vector<double> weights;
  for (double error : crossValidationErrors) {
    weights.push_back(folds <= 0 || error <= 0.0001 ? 10000.0 : 1 / error);
  }
  double total = 0.0;
  for (double w : weights) total += w;
  for (double& w : weights) w /= total;
  return weights;
}

double CombineVotes(bool classification, int32_t classes, const std::vector<double>& weights,
                    const std::vector<double>& answers) {
  if (classification) {
    std::vector<double> score(classes + 1, 0.0);
    for (size_t t = 0; t < answers.size(); ++t) {
      const int32_t c = static_cast<int32_t>(std::trunc(answers[t]));
      if (c >= 1 && c <= classes) score[c] += weights[t];
    }
    int32_t best = 1;
    for (int32_t c = 2; c <= classes; ++c) {
      if (score[c] > score[best]) best = c;
    }
    return best;
  }
  double sum = 0.0;
  for (size_t t = 0; t < answers.size(); ++t) sum += answers[t] * weights[t];
  return sum;
}

void TestErrorSum::AddValue(double predicted, double truth) {
  if (known_ == 0) first_ = truth;
  allEqual_ = allEqual_ && truth == first_;
  ++known_;
  sum_ += truth;
  sumOfSquares_ += truth * truth;
  const double residual = predicted - truth;
  squaredError_ += residual * residual;
}

TestError TestErrorSum::Result(bool classification) const {
  TestError result;
  result.Known = known_;
  if (known_ == 0) return result;
  if (classification) {
    result.Defined = true;
    result.Value = wrong_ / known_;
    return result;
  }
  // The squared error relative to the spread of the known true values about their mean.
  const double spread = sumOfSquares_ - sum_ * sum_ / known_;
  if (allEqual_ || !(spread > 0)) return result;
  result.Defined = true;
  result.Value = std::sqrt(squaredError_ / spread);
  return result;
}

}  // namespace tarvo
