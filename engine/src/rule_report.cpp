// WriteTreeReport and WriteLeafRules.
#include "rule_report.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "branch_finder.h"
#include "tarvo/numbers.h"

namespace tarvo {

namespace {

class TRuleWriter {
 public:
  explicit TRuleWriter(TRunState& run) : run_(run), out_(run.Report) {}

  void WriteTreeReport();

 private:
  void WriteHeader();
  void WriteLeafRules(const TNodeRec& node, int32_t depth);
  void WriteConditions(int32_t depth);
  void WriteValueSetCondition(int32_t f, const TBranchRec& b);
  void WriteIntervalCondition(int32_t f, int32_t from, int32_t deepest);
  void WriteClassObjects();
  void WriteRegressionObjects();
  const std::string& PredictedName() const;
  bool Classification() const { return run_.Target.ClassificationMode; }
  bool Regression() const { return run_.Target.RegressionMode; }

  TRunState& run_;
  ReportFile& out_;
  int32_t ruleNumber_ = 0;
  int32_t coveredObjects_ = 0;
  int32_t misclassified_ = 0;
  double weightedDispersion_ = 0.0;
  TNodePath path_;
  std::vector<char> printed_;
  std::vector<int32_t> following_;
  // The active objects that reach a leaf, ordered by leaf and, within one, ascending: a rule
  // finds its objects without a pass over the whole table.
  struct TLeafObject {
    const TNodeRec* Leaf;
    int32_t Object;
  };
  std::vector<TLeafObject> byLeaf_;
  static bool LeafOrder(const TLeafObject& a, const TLeafObject& b) {
    if (a.Leaf != b.Leaf) return std::less<const TNodeRec*>()(a.Leaf, b.Leaf);
    return a.Object < b.Object;
  }
  void FindLeaves(const TNodeRec& root);
};

void TRuleWriter::FindLeaves(const TNodeRec& root) {
  // Each active object's leaf, found once for all the rules.
  byLeaf_.clear();
  TBranchFinder branches;
  for (int32_t o = 1; o <= run_.N(); ++o) {
    if (!run_.Active[o]) continue;
    if (const TNodeRec* leaf = branches.LeafReached(run_.Table.Data, root, o)) {
      byLeaf_.push_back(TLeafObject{leaf, o});
    }
  }
  std::sort(byLeaf_.begin(), byLeaf_.end(), LeafOrder);
}

const std::string& TRuleWriter::PredictedName() const {
  const int32_t f = Classification() ? run_.Target.ClassFeature : run_.Target.RegressionFeature;
  return run_.Table.FeatureName[f];
}

void TRuleWriter::WriteHeader() {
  out_.Line("input file: " + run_.TableName());
  out_.Write("Recursive Complexity=" + FormatReal(run_.Parameters.RecursiveComplexity, 6, 3) + " ");
  out_.Line("Homogeneity=" + FormatReal(run_.Parameters.Homogeneity, 3, 3));
  out_.Write("Number of sites=" + FormatInteger(run_.N(), 4) + " ");
  out_.Write("Number of features=" + FormatInteger(run_.Table.FileColumns, 4));
  // A regression run leaves this line open: the next text continues it.
  if (Classification()) out_.Line(" Number of classes=" + FormatInteger(run_.C(), 4));
}

void TRuleWriter::WriteTreeReport() {
  out_.Line(std::string(60, '*'));
  if (run_.VariantNumber == 1) WriteHeader();
  const TNodeRec& root = *run_.Root();
  if (run_.LeafCount == 1) {
    out_.Line(" No rule is found for given parameters");
    out_.Line(root.Terminal ? " Objects are homogenious" : " Objects are heterogenious");
    return;
  }
  out_.EndLine();
  out_.Line("Variant N" + FormatInteger(run_.VariantNumber, 3));
  coveredObjects_ = misclassified_ = ruleNumber_ = 0;
  weightedDispersion_ = 0.0;
  path_.clear();
  FindLeaves(root);
  WriteLeafRules(root, 0);
  if (Regression()) {
    const double error =
        coveredObjects_ > 0 ? std::sqrt(weightedDispersion_ / coveredObjects_) : 0.0;
    out_.Line(" Standard error for the tree is " + FormatReal(error, 6, 2));
  }
  if (Classification()) {
    const double frequency =
        coveredObjects_ > 0 ? static_cast<double>(misclassified_) / coveredObjects_ : 0.0;
    out_.Line(" Misclassification frequency for the tree is " + FormatReal(frequency, 6, 2));
  }
}

void TRuleWriter::WriteLeafRules(const TNodeRec& node, int32_t depth) {
  if (node.FirstBranch) {
    for (TBranchRec* b = node.FirstBranch; b; b = b->Next) {
      path_.resize(depth);
      path_.push_back(TPathStep{b, node.Feature});
      WriteLeafRules(*b->Child, depth + 1);
    }
    return;
  }
  ++ruleNumber_;
  out_.Line(" Rule " + FormatInteger(ruleNumber_, 3) + ",");
  out_.Line(" IF");
  WriteConditions(depth);
  out_.EndLine();
  out_.Write(" THEN ");

  int32_t objectCount = 0;
  double sigma = 0.0;
  if (Regression()) {
    const double d = node.Dispersion < 0 ? 0.0 : node.Dispersion;
    sigma = std::sqrt(d);
    weightedDispersion_ += node.ObjectCount * d;
    objectCount = node.ObjectCount;
    out_.Write(PredictedName() + " = " + FormatReal(node.Mean, 4, 2) + ",");
  }
  if (Classification()) {
    const TMajority majority = MajorityClass(node.ClassCount, run_.C());
    for (int32_t c = 1; c <= run_.C(); ++c) objectCount += node.ClassCount[c];
    misclassified_ += majority.Errors;
    out_.Line(PredictedName() + " =" + run_.Target.ClassName(majority.Class));
  }
  out_.EndLine();
  if (Regression()) out_.Line(" Standard error" + FormatReal(sigma, 9, 4) + ",");
  out_.Line(" Number of objects " + FormatInteger(objectCount, 3) + ",");
  coveredObjects_ += objectCount;
  out_.Line(" Objects NN, for which this rule is true : ");
  following_.clear();
  for (auto it = std::lower_bound(byLeaf_.begin(), byLeaf_.end(), TLeafObject{&node, 0}, LeafOrder);
       it != byLeaf_.end() && it->Leaf == &node; ++it) {
    following_.push_back(it->Object);
  }
  if (Classification()) WriteClassObjects();
  if (Regression()) WriteRegressionObjects();
  if (!node.Terminal) {
    out_.Line(" Heterogeneous group");
    out_.Line(" Rule can not be continued");
  }
  out_.Line(std::string(60, '-'));
}

void TRuleWriter::WriteConditions(int32_t depth) {
  printed_.assign(run_.M() + 1, 0);
  bool first = true;
  for (int32_t s = 1; s <= depth; ++s) {
    const int32_t f = path_[s - 1].Feature;
    if (printed_[f]) continue;
    // A feature tested several times on the path is written once, from its deepest test.
    int32_t deepest = depth;
    while (path_[deepest - 1].Feature != f) --deepest;
    printed_[f] = 1;
    if (!first) {
      out_.Write(" AND ");
      out_.EndLine();
    }
    first = false;
    const TBranchRec& b = *path_[deepest - 1].Branch;
    if (b.Kind == ftNominal) {
      WriteValueSetCondition(f, b);
    } else if (b.Kind == ftNumeric) {
      WriteIntervalCondition(f, s, deepest);
    }
  }
}

void TRuleWriter::WriteValueSetCondition(int32_t f, const TBranchRec& b) {
  std::string text = run_.Table.FeatureName[f] + " = ";
  const std::vector<TValueRec>& values = run_.Table.ValueTable[f];
  for (int32_t j = 0; j < b.ValueCount(); ++j) {
    for (const TValueRec& entry : values) {
      if (entry.Code == b.Values[j]) {
        text += entry.Text;
        break;
      }
    }
    if (j + 1 < b.ValueCount()) text += ",";
  }
  out_.Write(text + ",");
}

void TRuleWriter::WriteIntervalCondition(int32_t f, int32_t from, int32_t deepest) {
  const TBranchRec& b = *path_[deepest - 1].Branch;
  double low = b.Low;
  double high = b.High;
  // An open bound takes the nearest finite one of an earlier test of the same feature.
  for (int32_t step = deepest; step >= from && std::fabs(low) == kOpenBound; --step) {
    const TPathStep& p = path_[step - 1];
    if (p.Feature == f && std::fabs(p.Branch->Low) != kOpenBound) low = p.Branch->Low;
  }
  for (int32_t step = deepest; step >= from && std::fabs(high) == kOpenBound; --step) {
    const TPathStep& p = path_[step - 1];
    if (p.Feature == f && std::fabs(p.Branch->High) != kOpenBound) high = p.Branch->High;
  }
  const std::string& name = run_.Table.FeatureName[f];
  if (low == -kOpenBound) {
    out_.Write(" " + name + " <=" + FormatReal(high, 8, 2) + ",");
  } else if (high == kOpenBound) {
    out_.Write(" " + name + " >" + FormatReal(low, 8, 2) + ",");
  } else {
    out_.Write(" " + name + " =] " + FormatReal(low, 8, 2) + "," + FormatReal(high, 8, 2) + "],");
  }
}

void TRuleWriter::WriteClassObjects() {
  for (int32_t j = 1; j <= run_.C(); ++j) {
    out_.Line(" " + run_.Target.ClassName(j));
    int32_t listed = 0;
    for (int32_t o : following_) {
      if (run_.TargetClass[o] != j) continue;
      out_.Write(FormatInteger(o, 4) + ",");
      if (++listed % 19 == 0) out_.EndLine();
    }
    out_.EndLine();
  }
}

void TRuleWriter::WriteRegressionObjects() {
  // Without objects the bounds print as they start; with objects they start from the first one,
  // so that values beyond the bounds are their own minimum and maximum.
  double minimum = following_.empty() ? kOpenBound : run_.TargetValue[following_.front()];
  double maximum = following_.empty() ? -kOpenBound : minimum;
  int32_t count = 0;
  for (int32_t o : following_) {
    out_.Write(FormatInteger(o, 4) + ",");
    if (++count % 15 == 0) out_.EndLine();
    const double y = run_.TargetValue[o];
    if (y < minimum) minimum = y;
    if (y > maximum) maximum = y;
  }
  out_.EndLine();
  out_.Line(" Min value " + PredictedName() + " - " + FormatReal(minimum, 8, 3) + ",");
  out_.Line(" Max value " + PredictedName() + " - " + FormatReal(maximum, 8, 3) + ",");
}

}  // namespace

void WriteTreeReport(TRunState& run) {
  TRuleWriter(run).WriteTreeReport();
}

}  // namespace tarvo
