// The described trees are the reported ones: on every sample run, each rule of the report matches
// a leaf of the description, in order, with the same path, verdict, object count and group kind.
#include "tarvo/tree_description.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tarvo/engine.h"
#include "tarvo/numbers.h"
#include "tarvo/parameters.h"
#include "tarvo/table.h"
#include "test_files.h"

namespace tarvo {
namespace {

const std::filesystem::path kRunsDir = std::filesystem::path(TARVO_TEST_DATA_DIR) / "runs";

struct Collector : TreeObserver {
  void OnTree(const TreeDescription& tree) override { Trees.push_back(tree); }
  std::vector<TreeDescription> Trees;
};

// One rule as the report writes it.
struct ReportedRule {
  std::string Conditions;  // the condition lines joined
  std::string Verdict;     // the THEN line after " THEN "
  int Objects = -1;
  bool Heterogeneous = false;
};

// The rules of each tree section (sections start with the asterisk line).
std::vector<std::vector<ReportedRule>> ParseReport(const std::string& report) {
  std::vector<std::vector<ReportedRule>> sections;
  std::istringstream in(report);
  std::string line;
  bool inConditions = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("****", 0) == 0) sections.emplace_back();
    if (sections.empty()) continue;
    std::vector<ReportedRule>& rules = sections.back();
    if (line.rfind(" Rule ", 0) == 0 && line.back() == ',') {
      rules.emplace_back();
    } else if (line == " IF") {
      inConditions = true;
    } else if (line.rfind(" THEN ", 0) == 0) {
      inConditions = false;
      rules.back().Verdict = line.substr(6);
    } else if (inConditions) {
      rules.back().Conditions += line;
    } else if (line.rfind(" Number of objects ", 0) == 0) {
      rules.back().Objects = std::stoi(line.substr(19));
    } else if (line == " Heterogeneous group") {
      rules.back().Heterogeneous = true;
    }
  }
  return sections;
}

struct Step {
  const TreeNodeDescription* Node;
  const TreeBranchDescription* Branch;
};

// The rule's conditions from the leaf's path: each feature once, where it is first tested, as
// the intersection of its intervals or its deepest value set.
std::string ExpectedConditions(const std::vector<Step>& path) {
  std::vector<std::string> parts;
  std::vector<int32_t> done;
  for (const Step& first : path) {
    const int32_t f = first.Node->Feature;
    if (std::find(done.begin(), done.end(), f) != done.end()) continue;
    done.push_back(f);
    const std::string& name = first.Node->FeatureName;
    if (!first.Branch->Interval) {
      const TreeBranchDescription* deepest = first.Branch;
      for (const Step& s : path) {
        if (s.Node->Feature == f) deepest = s.Branch;
      }
      std::string text = name + " = ";
      for (const std::string& value : deepest->Values) text += value + ",";
      parts.push_back(text);
      continue;
    }
    bool lowOpen = true, highOpen = true;
    double low = 0, high = 0;
    for (const Step& s : path) {
      if (s.Node->Feature != f) continue;
      if (!s.Branch->LowOpen && (lowOpen || s.Branch->Low > low)) low = s.Branch->Low;
      if (!s.Branch->HighOpen && (highOpen || s.Branch->High < high)) high = s.Branch->High;
      lowOpen = lowOpen && s.Branch->LowOpen;
      highOpen = highOpen && s.Branch->HighOpen;
    }
    if (lowOpen) {
      parts.push_back(" " + name + " <=" + FormatReal(high, 8, 2) + ",");
    } else if (highOpen) {
      parts.push_back(" " + name + " >" + FormatReal(low, 8, 2) + ",");
    } else {
      parts.push_back(" " + name + " =] " + FormatReal(low, 8, 2) + "," + FormatReal(high, 8, 2) +
                      "],");
    }
  }
  std::string joined;
  for (size_t i = 0; i < parts.size(); ++i) joined += (i ? " AND " : "") + parts[i];
  return joined;
}

void CollectLeaves(const TreeDescription& tree, int32_t index, std::vector<Step>& path,
                   std::vector<std::pair<const TreeNodeDescription*, std::vector<Step>>>& leaves) {
  const TreeNodeDescription& node = tree.Nodes[index];
  if (node.IsLeaf()) leaves.push_back({&node, path});
  for (const TreeBranchDescription& branch : node.Branches) {
    path.push_back({&node, &branch});
    CollectLeaves(tree, branch.Child, path, leaves);
    path.pop_back();
  }
}

void ExpectTreeMatchesRules(const TreeDescription& tree, const std::vector<ReportedRule>& rules,
                            const std::string& where) {
  std::vector<Step> path;
  std::vector<std::pair<const TreeNodeDescription*, std::vector<Step>>> leaves;
  CollectLeaves(tree, 0, path, leaves);
  if (tree.Nodes.size() == 1) {
    EXPECT_TRUE(rules.empty()) << where << ": a one-node tree has no rules";
    return;
  }
  ASSERT_EQ(leaves.size(), rules.size()) << where;
  for (size_t r = 0; r < rules.size(); ++r) {
    const TreeNodeDescription& leaf = *leaves[r].first;
    const std::string at = where + " rule " + std::to_string(r + 1);
    EXPECT_EQ(ExpectedConditions(leaves[r].second), rules[r].Conditions) << at;
    EXPECT_EQ(leaf.ObjectCount, rules[r].Objects) << at;
    EXPECT_EQ(!leaf.Homogeneous, rules[r].Heterogeneous) << at;
    const std::string verdict =
        tree.Classification ? tree.PredictedName + " =" + tree.ClassNames.at(leaf.Majority)
                            : tree.PredictedName + " = " + FormatReal(leaf.Mean, 4, 2) + ",";
    EXPECT_EQ(verdict, rules[r].Verdict) << at;
  }
}

TEST(TreeDescription, EveryReportedTreeIsDescribedAsItsRulesSay) {
  int described = 0, withRules = 0, withValueSets = 0, regression = 0, laterVariants = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kRunsDir)) {
    const std::string name = entry.path().filename().string();
    testing::TempFolder folder;
    testing::WriteBytes(folder.File("table.txt"),
                        testing::ReadBytes((entry.path() / "table.txt").string()));
    RunParameters p = ReadParameterFile((entry.path() / "param.par").string());
    Collector collector;
    RunOptions options;
    options.Observer = &collector;
    options.ReportFileName = folder.File("output.txt");
    options.ChiSquareFileName = TARVO_PROG_PAR;
    RunEngine(p, folder.File("table.txt"), options);
    const auto sections = ParseReport(testing::ReadBytes(folder.File("output.txt")));
    ASSERT_EQ(collector.Trees.size(), sections.size()) << name;
    for (size_t t = 0; t < sections.size(); ++t) {
      const TreeDescription& tree = collector.Trees[t];
      EXPECT_EQ(tree.Variant, static_cast<int32_t>(t + 1)) << name;
      ExpectTreeMatchesRules(tree, sections[t], name + " variant " + std::to_string(t + 1));
      ++described;
      withRules += sections[t].empty() ? 0 : 1;
      regression += tree.Classification ? 0 : 1;
      laterVariants += t > 0 ? 1 : 0;
      for (const TreeNodeDescription& node : tree.Nodes) {
        for (const TreeBranchDescription& b : node.Branches) withValueSets += b.Interval ? 0 : 1;
      }
    }
  }
  // The sample runs hold every kind of tree this test is meant to see.
  EXPECT_GE(described, 19);
  EXPECT_GT(withRules, 10);
  EXPECT_GT(withValueSets, 0);
  EXPECT_GT(regression, 2);
  EXPECT_GT(laterVariants, 2);
}

// A finite bound's neighbours are the table's nearest known values at or below it and above it,
// found by a plain scan here; of 0 and -0, the first object's.
TEST(TreeDescription, BoundNeighboursAreTheNearestTableValues) {
  std::vector<double> x, y;
  for (int o = 0; o < 600; ++o) {
    const int v = (o * 37) % 200 - 100;  // each value three times, 0 among them
    x.push_back(o == 5 ? kMissingValue : v == 0 && o < 200 ? -0.0 : v / 4.0);
    y.push_back((v > 0 ? 50.0 : 0.0) + (v % 7) + (v < -60 ? 20.0 : 0.0));
  }
  Table table;
  table.AddNumericColumn("x", x);
  table.AddNumericColumn("y", y);
  RunParameters p;
  p.FeatureToPredict = 2;
  p.FoldsCrossValidate = 1;
  Collector collector;
  testing::TempFolder folder;
  RunOptions options;
  options.Observer = &collector;
  options.ReportFileName = folder.File("output.txt");
  options.ChiSquareFileName = TARVO_PROG_PAR;
  RunEngine(p, table, options);
  ASSERT_EQ(collector.Trees.size(), 1u);
  auto check = [&](double bound, double below, double above) {
    double nearBelow = kMissingValue, nearAbove = kMissingValue;
    for (double v : x) {
      if (v <= bound && !(nearBelow >= v)) nearBelow = v;
      if (v > bound && !(nearAbove <= v)) nearAbove = v;
    }
    EXPECT_EQ(std::signbit(below), std::signbit(nearBelow)) << bound;
    EXPECT_EQ(below, nearBelow) << bound;
    EXPECT_EQ(above, nearAbove) << bound;
  };
  int bounds = 0;
  for (const TreeNodeDescription& node : collector.Trees[0].Nodes) {
    for (const TreeBranchDescription& b : node.Branches) {
      if (!b.LowOpen) check(b.Low, b.BelowLow, b.AboveLow), ++bounds;
      if (!b.HighOpen) check(b.High, b.BelowHigh, b.AboveHigh), ++bounds;
    }
  }
  EXPECT_GE(bounds, 4);  // among them 0.125, whose neighbour below is -0, then 0 twice
}

TEST(TreeDescription, FeatureGainSharesSplitTheImpurityTheSplitsRemove) {
  // The root {6, 2} splits by feature 1 into {4, 0} and {2, 2}, which feature 2 splits into pure
  // leaves: Gini gains 8 - 40/8 - (0 + 4 - 8/4) = 1 at the root and 2 below it.
  TreeDescription tree;
  tree.FeatureNames = {"a", "b", "c"};
  auto node = [&](std::vector<int32_t> counts, int32_t feature, std::vector<int32_t> children) {
    TreeNodeDescription d;
    d.ClassCounts = std::move(counts);
    d.Feature = feature;
    for (int32_t child : children) {
      d.Branches.emplace_back();
      d.Branches.back().Child = child;
    }
    tree.Nodes.push_back(d);
  };
  node({6, 2}, 1, {1, 2});
  node({4, 0}, 0, {});
  node({2, 2}, 2, {3, 4});
  node({2, 0}, 0, {});
  node({0, 2}, 0, {});
  const std::vector<double> shares = FeatureGainShares(tree);
  ASSERT_EQ(shares.size(), 3u);
  EXPECT_DOUBLE_EQ(shares[0], 1.0 / 3);
  EXPECT_DOUBLE_EQ(shares[1], 2.0 / 3);
  EXPECT_EQ(shares[2], 0.0);

  tree.Nodes.resize(1);
  tree.Nodes[0].Branches.clear();  // a single leaf gains nothing
  EXPECT_EQ(FeatureGainShares(tree), std::vector<double>(3, 0.0));
}

}  // namespace
}  // namespace tarvo
