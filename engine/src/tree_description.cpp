// DescribeTree: copies the kept tree's records into a TreeDescription, names from the table.
#include "tree_description.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "criteria.h"

namespace tarvo {

namespace {

class TTreeDescriber {
 public:
  TTreeDescriber(const TRunState& run, TreeDescription& tree) : run_(run), tree_(tree) {}

  // Appends node and everything below it; returns its index.
  int32_t Describe(const TNodeRec& node) {
    const int32_t index = static_cast<int32_t>(tree_.Nodes.size());
    tree_.Nodes.push_back(DescribeNode(node));
    for (const TBranchRec* b = node.FirstBranch; b; b = b->Next) {
      TreeBranchDescription branch = DescribeBranch(node.Feature, *b);
      branch.Child = Describe(*b->Child);
      tree_.Nodes[index].Branches.push_back(std::move(branch));
    }
    return index;
  }

 private:
  TreeNodeDescription DescribeNode(const TNodeRec& node) const {
    TreeNodeDescription d;
    d.ObjectCount = node.ObjectCount;
    d.Mean = node.Mean;
    d.Dispersion = node.Dispersion;
    d.Homogeneous = node.Terminal;
    d.Closed = !node.FirstBranch && node.Feature == -1;
    if (node.FirstBranch) {
      d.Feature = node.Feature;
      d.FeatureName = run_.Table.FeatureName[node.Feature];
    }
    if (tree_.Classification) {
      // The count the report prints: the objects of the classes, as its rules count them.
      d.ObjectCount = 0;
      for (int32_t c = 1; c <= run_.C(); ++c) {
        d.ClassCounts.push_back(node.ClassCount[c]);
        d.ObjectCount += node.ClassCount[c];
      }
      const TMajority majority = MajorityClass(node.ClassCount, run_.C());
      d.Majority = majority.Class - 1;
      d.Errors = majority.Errors;
    }
    return d;
  }

  TreeBranchDescription DescribeBranch(int32_t feature, const TBranchRec& b) {
    TreeBranchDescription d;
    d.Interval = b.Kind != ftNominal;
    if (d.Interval) {
      d.Low = b.Low;
      d.High = b.High;
      d.LowOpen = b.OpenBelow;
      d.HighOpen = b.OpenAbove;
      if (!d.LowOpen) Neighbours(feature, d.Low, d.BelowLow, d.AboveLow);
      if (!d.HighOpen) Neighbours(feature, d.High, d.BelowHigh, d.AboveHigh);
      return d;
    }
    // The text of each code, from the first table entry that has it, as the rules write it.
    const std::vector<TValueRec>& entries = run_.Table.ValueTable[feature];
    for (int32_t code : b.Values) {
      std::string text;
      int32_t place = 0;
      for (size_t e = 0; e < entries.size(); ++e) {
        if (entries[e].Code == code) {
          text = entries[e].Text;
          place = static_cast<int32_t>(e) + 1;
          break;
        }
      }
      d.Values.push_back(text);
      d.ValuePlaces.push_back(place);
    }
    return d;
  }

  // The training values of the feature nearest to a bound: at or below it, and above it; of
  // values that compare equal (0 and -0), the first object's.
  void Neighbours(int32_t feature, double bound, double& below, double& above) {
    if (std::isnan(bound)) return;
    const std::vector<TValueAt>& values = SortedValues(feature);
    const auto up = std::upper_bound(values.begin(), values.end(), bound,
                                     [](double x, const TValueAt& v) { return x < v.Value; });
    if (up != values.end()) above = up->Value;
    if (up == values.begin()) return;
    const double top = std::prev(up)->Value;
    below = std::lower_bound(values.begin(), up, top, [](const TValueAt& v, double x) {
              return v.Value < x;
            })->Value;
  }

  // A feature's known values by value and, among equal ones, by object; made when first needed.
  struct TValueAt {
    double Value;
    int32_t Object;
  };
  const std::vector<TValueAt>& SortedValues(int32_t feature) {
    if (sorted_.empty()) sorted_.resize(run_.M() + 1);
    std::vector<TValueAt>& values = sorted_[feature];
    if (!values.empty()) return values;
    const std::vector<double>& column = run_.Table.Data[feature];
    for (int32_t o = 1; o <= run_.N(); ++o) {
      if (IsKnown(column[o])) values.push_back(TValueAt{column[o], o});
    }
    std::sort(values.begin(), values.end(), [](const TValueAt& a, const TValueAt& b) {
      return a.Value < b.Value || (!(b.Value < a.Value) && a.Object < b.Object);
    });
    return values;
  }

  const TRunState& run_;
  TreeDescription& tree_;
  std::vector<std::vector<TValueAt>> sorted_;
};

}  // namespace

TreeDescription DescribeTree(const TRunState& run) {
  TreeDescription tree;
  tree.TableName = run.TableName();
  tree.LookAhead = run.Parameters.RecursiveComplexity;
  tree.Variant = run.VariantNumber;
  tree.Classification = run.Target.ClassificationMode;
  const int32_t predicted =
      tree.Classification ? run.Target.ClassFeature : run.Target.RegressionFeature;
  tree.PredictedName = run.Table.FeatureName[predicted];
  if (tree.Classification) {
    for (int32_t c = 1; c <= run.C(); ++c) tree.ClassNames.push_back(run.Target.ClassName(c));
  }
  for (int32_t f = 1; f <= run.M(); ++f) tree.FeatureNames.push_back(run.Table.FeatureName[f]);
  TTreeDescriber(run, tree).Describe(*run.Tree.Root());
  return tree;
}

void ShowTreeToObserver(const TRunState& run) {
  if (run.Observer) run.Observer->OnTree(DescribeTree(run));
}

namespace {

// Objects times the impurity of the node's predicted values, as the gains measure it.
double GainImpurity(const TreeNodeDescription& node, bool classification) {
  if (!classification) return node.ObjectCount * node.Dispersion;
  TClassCounts counts{};
  const int32_t classes =
      static_cast<int32_t>(std::min<size_t>(node.ClassCounts.size(), kMaxClasses));
  std::copy_n(node.ClassCounts.begin(), classes, counts.begin() + 1);
  return GiniImpurity(counts, classes);
}

}  // namespace

std::vector<double> FeatureGainShares(const TreeDescription& tree) {
  std::vector<double> shares(tree.FeatureNames.size(), 0.0);
  double total = 0.0;
  for (const TreeNodeDescription& node : tree.Nodes) {
    if (node.IsLeaf() || node.Feature < 1 || static_cast<size_t>(node.Feature) > shares.size())
      continue;
    double gain = GainImpurity(node, tree.Classification);
    for (const TreeBranchDescription& branch : node.Branches)
      gain -= GainImpurity(tree.Nodes[branch.Child], tree.Classification);
    // Objects whose value is missing stop at the node: the branches hold the others, whose
    // impurity is no more than the node's, but rounding can leave a hair below 0.
    gain = std::max(gain, 0.0);
    shares[node.Feature - 1] += gain;
    total += gain;
  }
  if (total > 0) {
    for (double& share : shares) share /= total;
  }
  return shares;
}

}  // namespace tarvo
