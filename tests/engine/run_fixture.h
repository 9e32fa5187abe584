// Run states built by hand for the engine's unit tests: a few columns, the predicted one among
// them, the run's settings and empty tree pools; and trees built by hand, in the pools or as
// temporary records of a search.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "feature_workers.h"
#include "run_state.h"
#include "split_search.h"
#include "tree_growing.h"
#include "tree_records.h"

namespace tarvo::testing {

constexpr double kMiss = MissingCode;

// Describes a table column by column and makes the run state of it. Columns become features
// 1..M in the order they are added; there is no companion column. The predicted column is kept
// out of PredictorMask, and an object whose predicted value is missing is not Active.
//
// Defaults: TargetWeight 1, RecursiveComplexity 1 (LookAhead 1), Homogeneity 0.05, MonteCarlo 100,
// and a chi-square table of zeros, so that a regression group is homogeneous only when its values
// are all equal.
class RunBuilder {
 public:
  RunBuilder& Numeric(std::string name, std::vector<double> values) {
    columns_.push_back({std::move(name), ftNumeric, {}, std::move(values)});
    return *this;
  }
  // A nominal column whose value texts are those of codes 1, 2, ...
  RunBuilder& Nominal(std::string name, std::vector<std::string> texts, std::vector<double> codes) {
    columns_.push_back({std::move(name), ftNominal, std::move(texts), std::move(codes)});
    return *this;
  }
  // A classification run predicting nominal column f: its codes are the classes.
  RunBuilder& Classify(int32_t f) {
    predicted_ = f;
    classify_ = true;
    return *this;
  }
  // A regression run predicting numeric column f.
  RunBuilder& Regress(int32_t f) {
    predicted_ = f;
    classify_ = false;
    return *this;
  }
  // TargetValue of a classification run (0 for every object unless given).
  RunBuilder& Values(std::vector<double> y) {
    values_ = std::move(y);
    return *this;
  }
  RunBuilder& TargetWeight(double w) {
    targetWeight_ = w;
    return *this;
  }
  RunBuilder& RecursiveComplexity(double r) {
    recursiveComplexity_ = r;
    return *this;
  }
  RunBuilder& Homogeneity(double h) {
    homogeneity_ = h;
    return *this;
  }
  RunBuilder& MonteCarlo(int32_t trials) {
    monteCarlo_ = trials;
    return *this;
  }
  // Every entry of the chi-square table.
  RunBuilder& ChiSquare(double value) {
    chiSquare_ = value;
    return *this;
  }
  RunBuilder& InputFile(std::string name) {
    inputFile_ = std::move(name);
    return *this;
  }

  std::unique_ptr<TRunState> Build() const {
    auto run = std::make_unique<TRunState>();
    const int32_t m = static_cast<int32_t>(columns_.size());
    const int32_t n = m > 0 ? static_cast<int32_t>(columns_[0].values.size()) : 0;
    for (const Column& c : columns_) EXPECT_EQ(static_cast<int32_t>(c.values.size()), n) << c.name;
    EXPECT_TRUE(predicted_ >= 1 && predicted_ <= m) << "no predicted column";

    TInputTable& table = run->Table;
    table.ObjectCount = n;
    table.FileColumns = m;
    table.FeatureCount = m;
    table.FeatureType.assign(m + 1, ftNumeric);
    table.DeclaredValues.assign(m + 1, 0);
    table.ValueTable.assign(m + 1, {});
    table.FeatureName.assign(m + 1, std::string());
    table.Data.assign(m + 1, std::vector<double>(n + 1, 0.0));
    for (int32_t f = 1; f <= m; ++f) {
      const Column& c = columns_[f - 1];
      table.FeatureType[f] = c.type;
      table.FeatureName[f] = c.name;
      table.DeclaredValues[f] = static_cast<int32_t>(c.texts.size());
      for (size_t j = 0; j < c.texts.size(); ++j) {
        table.ValueTable[f].push_back(TValueRec{static_cast<int32_t>(j + 1), c.texts[j]});
      }
      for (int32_t o = 1; o <= n; ++o) table.Data[f][o] = c.values[o - 1];
    }
    RankFeatureValues(table, run->ValueRanks);

    TTargetDescription& target = run->Target;
    target.ClassFeature = target.RegressionFeature = predicted_;
    target.ErrorWeight = classify_ ? targetWeight_ : 0.0;
    target.DispersionWeight = classify_ ? 0.0 : targetWeight_;
    target.ClassificationMode = target.ErrorWeight != 0;
    target.RegressionMode = target.DispersionWeight != 0;
    target.NumberOfClasses = classify_ ? table.DeclaredValues[predicted_] : 0;
    target.ClassNames.assign(target.NumberOfClasses + 1, std::string());
    for (int32_t j = 1; j <= target.NumberOfClasses; ++j) {
      target.ClassNames[j] = table.ValueTable[predicted_][j - 1].Text;
    }

    run->Parameters.TargetWeight = targetWeight_;
    run->Parameters.RecursiveComplexity = recursiveComplexity_;
    run->Parameters.Homogeneity = homogeneity_;
    run->Parameters.MonteCarlo = monteCarlo_;
    run->Parameters.VariantsNumber = 1;
    run->Parameters.FeatureToPredict = predicted_;
    run->InputFileName = inputFile_;
    run->BaseLookAhead = static_cast<int32_t>(std::trunc(recursiveComplexity_));
    run->LookAhead = run->BaseLookAhead;
    run->HomogeneityCount = static_cast<int32_t>(std::trunc(monteCarlo_ * homogeneity_));
    run->Random.Seed(5);

    run->FeatureCost.assign(m + 1, 1.0);
    run->FeatureScore.assign(m + 1, kMissingScore);
    run->FeatureScoreCount.assign(m + 1, 0.0);
    run->ChiSquareTable.assign(std::max(n, 70) + 1, chiSquare_);
    run->PredictorMask = TFeatureMask{};
    for (int32_t f = 1; f <= m; ++f) run->PredictorMask[f] = f != predicted_;

    run->Active.assign(n + 1, 0);
    run->TargetValue.assign(n + 1, 0.0);
    run->TargetClass.assign(n + 1, 0);
    for (int32_t o = 1; o <= n; ++o) {
      const double y = table.Data[predicted_][o];
      if (!IsKnown(y)) continue;
      run->Active[o] = 1;
      if (classify_) {
        run->TargetClass[o] = static_cast<int32_t>(std::trunc(y));
        if (!values_.empty()) run->TargetValue[o] = values_[o - 1];
      } else {
        run->TargetValue[o] = y;
      }
      run->ObjList.push_back(o);
    }
    run->Tree.Create(n);
    run->VariantNumber = 1;
    run->TreeCount = 1;
    return run;
  }

 private:
  struct Column {
    std::string name;
    TFeatureType type;
    std::vector<std::string> texts;
    std::vector<double> values;
  };
  std::vector<Column> columns_;
  int32_t predicted_ = 0;
  bool classify_ = true;
  std::vector<double> values_;
  double targetWeight_ = 1.0;
  double recursiveComplexity_ = 1.0;
  double homogeneity_ = 0.05;
  int32_t monteCarlo_ = 100;
  double chiSquare_ = 0.0;
  std::string inputFile_ = "table.txt";
};

// The objects first..last in increasing order.
inline std::vector<int32_t> Objects(int32_t first, int32_t last) {
  std::vector<int32_t> list;
  for (int32_t o = first; o <= last; ++o) list.push_back(o);
  return list;
}

// Class codes from letters: "aab" is 1, 1, 2.
inline std::vector<double> Classes(const std::string& letters) {
  std::vector<double> codes;
  for (char c : letters) codes.push_back(c - 'a' + 1);
  return codes;
}

// Class counts of classes 1, 2, ... in order.
inline TClassCounts Counts(std::initializer_list<int32_t> perClass) {
  TClassCounts counts{};
  int32_t c = 1;
  for (int32_t k : perClass) counts[c++] = k;
  return counts;
}

// A split search of a run whose top-level features are evaluated on `threads` threads (1: on the
// caller's alone). The results must not depend on the number.
class ThreadedSearch {
 public:
  ThreadedSearch(TRunState& run, int32_t threads)
      : workers_(threads > 1 ? std::make_unique<TFeatureWorkers>(run, threads) : nullptr),
        search_(run, run.Records) {}
  // The search of a tree's node, as the tree grower makes it.
  TSearchResult SearchSplit(TNodeRec& node, const int32_t* objects, int32_t n,
                            const TFeatureMask& mask, int32_t excludedFeature) {
    return workers_ ? workers_->SearchSplit(search_, node, objects, n, mask, excludedFeature)
                    : search_.SearchSplit(node, objects, n, mask, 0, excludedFeature);
  }
  TFeatureWorkers* Workers() { return workers_.get(); }

 private:
  std::unique_ptr<TFeatureWorkers> workers_;
  TSplitSearch search_;
};

inline TTreeGrower MakeGrower(TRunState& run, int32_t threads = 1) {
  return TTreeGrower(run, threads);
}

// Names the instances of a test run with 1 and with 2 threads.
inline std::string ThreadsName(const ::testing::TestParamInfo<int32_t>& info) {
  return info.param == 1 ? "OneThread" : std::to_string(info.param) + "Threads";
}

// Builds a tree by hand, either in the run's pools (the kept tree: the root is record 1 and the
// records are taken in order) or from the run's store of temporary records.
class TreeBuilder {
 public:
  static TreeBuilder InPools(TRunState& run) {
    TTreeStorage& tree = run.Tree;
    tree.NodesUsed = tree.BranchesUsed = 0;
    TreeBuilder builder([&tree] { return tree.NodeRecord(++tree.NodesUsed); },
                        [&tree] { return tree.BranchRecord(++tree.BranchesUsed); });
    return builder;
  }
  static TreeBuilder InRecords(TRunState& run) {
    TRecordStore& records = run.Records;
    return TreeBuilder([&records] { return records.NewNode(); },
                       [&records] { return records.NewBranch(); });
  }

  // The root: the first node taken.
  TNodeRec& Root() {
    if (!root_) {
      root_ = newNode_();
      *root_ = TNodeRec{};
    }
    return *root_;
  }

  // Gives parent (which tests feature) one more branch, the interval low < x <= high, and returns
  // the new child.
  TNodeRec& Interval(TNodeRec& parent, int32_t feature, double low, double high) {
    TBranchRec& b = Append(parent, feature);
    b.Kind = ftNumeric;
    b.Low = low;
    b.High = high;
    return *b.Child;
  }
  // Gives parent one more branch, the value set codes, and returns the new child.
  TNodeRec& ValueSet(TNodeRec& parent, int32_t feature, std::vector<int32_t> codes) {
    TBranchRec& b = Append(parent, feature);
    b.Kind = ftNominal;
    b.Values = std::move(codes);
    return *b.Child;
  }

 private:
  TreeBuilder(std::function<TNodeRec*()> newNode, std::function<TBranchRec*()> newBranch)
      : newNode_(std::move(newNode)), newBranch_(std::move(newBranch)) {}

  TBranchRec& Append(TNodeRec& parent, int32_t feature) {
    parent.Feature = feature;
    TBranchRec* b = newBranch_();
    *b = TBranchRec{};
    b->Child = newNode_();
    *b->Child = TNodeRec{};
    TBranchRec** link = &parent.FirstBranch;
    while (*link) link = &(*link)->Next;
    *link = b;
    return *b;
  }

  std::function<TNodeRec*()> newNode_;
  std::function<TBranchRec*()> newBranch_;
  TNodeRec* root_ = nullptr;
};

// A leaf of a classification tree: its class counts (and their sum as its object count).
inline void ClassLeaf(TNodeRec& node, std::initializer_list<int32_t> perClass, bool terminal) {
  node.FirstBranch = nullptr;
  node.ClassCount = Counts(perClass);
  node.ObjectCount = 0;
  for (int32_t k : perClass) node.ObjectCount += k;
  node.Terminal = terminal;
}

// A leaf of a regression tree.
inline void ValueLeaf(TNodeRec& node, int32_t objectCount, double mean, double dispersion,
                      bool terminal) {
  node.FirstBranch = nullptr;
  node.ObjectCount = objectCount;
  node.Mean = mean;
  node.Dispersion = dispersion;
  node.Terminal = terminal;
}

// The branches of a node in list order.
inline std::vector<const TBranchRec*> Branches(const TNodeRec& node) {
  std::vector<const TBranchRec*> list;
  for (const TBranchRec* b = node.FirstBranch; b; b = b->Next) list.push_back(b);
  return list;
}

}  // namespace tarvo::testing
