// DescribeTree: copies the kept tree's records into a TreeDescription, names from the table.
#include "tree_description.h"

#include <cmath>

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

  TreeBranchDescription DescribeBranch(int32_t feature, const TBranchRec& b) const {
    TreeBranchDescription d;
    d.Interval = b.Kind != ftNominal;
    if (d.Interval) {
      d.Low = b.Low;
      d.High = b.High;
      d.LowOpen = std::fabs(b.Low) == kMissingScore;
      d.HighOpen = std::fabs(b.High) == kMissingScore;
      return d;
    }
    // The text of each code, from the first table entry that has it, as the rules write it.
    const std::vector<TValueRec>& entries = run_.Table.ValueTable[feature];
    for (int32_t code : b.Values) {
      std::string text;
      for (const TValueRec& entry : entries) {
        if (entry.Code == code) {
          text = entry.Text;
          break;
        }
      }
      d.Values.push_back(text);
    }
    return d;
  }

  const TRunState& run_;
  TreeDescription& tree_;
};

}  // namespace

TreeDescription DescribeTree(const TRunState& run) {
  TreeDescription tree;
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

}  // namespace tarvo
