// The initial value groups of a feature at a node.
#include "value_groups.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "criteria.h"
#include "run_fixture.h"

namespace tarvo {
namespace {

using testing::Counts;
using testing::kMiss;
using testing::Objects;
using testing::RunBuilder;

TValueGroups Group(const TRunState& run, int32_t f, const std::vector<int32_t>& objects) {
  TValueGroups groups;
  BuildValueGroups(run, objects.data(), static_cast<int32_t>(objects.size()), f, groups);
  return groups;
}

// A regression run on y with one numeric feature x.
std::unique_ptr<TRunState> NumericRun(std::vector<double> x, std::vector<double> y) {
  return RunBuilder().Numeric("x", std::move(x)).Numeric("y", std::move(y)).Regress(2).Build();
}

TEST(ValueGroupsTest, NumericValuesGroupInAscendingOrderWithMidpointThresholds) {
  // The values 1, 2, 2, 4 met in the order 2, 4, 1, 2.
  auto run = NumericRun({2, 4, 1, 2}, {20, 40, 10, 30});
  const TValueGroups g = Group(*run, 1, Objects(1, 4));
  EXPECT_EQ(g.KnownCount, 4);
  ASSERT_EQ(g.GroupCount, 3);
  EXPECT_EQ(g.Threshold, (std::vector<double>{-1e17, 1.5, 3.0, 1e17}));
  EXPECT_EQ(g.Labels, (std::vector<int32_t>{2, 3, 1, 2}));  // the object with value 4 is in group 3
  for (int32_t k = 1; k <= 3; ++k) EXPECT_EQ(g.Row(k).Label, k);
  EXPECT_EQ(g.Row(1).Count, 1);
  EXPECT_EQ(g.Row(1).Mean, 10.0);
  EXPECT_EQ(g.Row(1).Spread, 0.0);
  // Objects 1 and 4 (y = 20 then 30): mean 25, spread (5^2 + 5^2) / 2.
  EXPECT_EQ(g.Row(2).Count, 2);
  EXPECT_EQ(g.Row(2).Mean, 25.0);
  EXPECT_EQ(g.Row(2).Spread, 25.0);
  EXPECT_EQ(g.Row(3).Mean, 40.0);
  // No classes in a regression run: nothing is counted.
  for (int32_t k = 1; k <= 3; ++k) EXPECT_EQ(g.Row(k).ClassCount, TClassCounts{});
}

TEST(ValueGroupsTest, EqualValuesFormOneGroupOverTheWholeLine) {
  auto run = NumericRun({5, 5, 5}, {1, 2, 3});
  const TValueGroups g = Group(*run, 1, Objects(1, 3));
  ASSERT_EQ(g.GroupCount, 1);
  EXPECT_EQ(g.Threshold, (std::vector<double>{-1e17, 1e17}));
  EXPECT_EQ(g.Row(1).Count, 3);
  // A single known value gives one group too.
  EXPECT_EQ(Group(*run, 1, {2}).GroupCount, 1);
}

TEST(ValueGroupsTest, ThresholdIsTheLowerValuePlusHalfTheGap) {
  // 2^1023 and 1.5 x 2^1023: written as d1 + (d2 - d1) / 2 the threshold is 1.25 x 2^1023,
  // where (d1 + d2) / 2 would overflow.
  auto run = NumericRun({std::ldexp(1.5, 1023), std::ldexp(1.0, 1023)}, {0, 0});
  const TValueGroups g = Group(*run, 1, Objects(1, 2));
  ASSERT_EQ(g.GroupCount, 2);
  EXPECT_EQ(g.Threshold[1], std::ldexp(1.25, 1023));
  EXPECT_EQ(g.Labels, (std::vector<int32_t>{2, 1}));
  // Values of opposite sign whose gap overflows: the threshold is the sum of their halves.
  auto wide = NumericRun({1e308, -1e308}, {0, 0});
  EXPECT_EQ(Group(*wide, 1, Objects(1, 2)).Threshold[1], 0.0);
}

// d1 = 1 + 2^-52 and d2 = 1 + 2^-51 are neighbouring doubles: d1 + (d2 - d1) / 2 = 1 + 3 x 2^-53
// lies halfway between them and rounds to the even one, d2. Routing by "x <= threshold" would then
// put d2 below the threshold, though its group lies above. The threshold becomes d1, so that
// routing agrees with the groups; every distinct value keeps a group of its own.
TEST(ValueGroupsTest, MidpointThatRoundsOntoTheUpperValueFallsBackToTheLowerOne) {
  const double d1 = 1.0 + std::ldexp(1.0, -52);
  const double d2 = 1.0 + std::ldexp(1.0, -51);
  auto run = NumericRun({d2, d1}, {10, 20});
  const TValueGroups g = Group(*run, 1, Objects(1, 2));
  ASSERT_EQ(g.GroupCount, 2);
  EXPECT_EQ(g.Threshold[1], d1);
  EXPECT_EQ(g.Labels, (std::vector<int32_t>{2, 1}));
  EXPECT_EQ(g.Row(1).Count, 1);
  EXPECT_EQ(g.Row(2).Count, 1);
  // A midpoint that rounds down is already on the lower side and stays.
  const double d3 = 1.0 + std::ldexp(3.0, -52);
  auto down = NumericRun({d2, d3}, {10, 20});
  EXPECT_EQ(Group(*down, 1, Objects(1, 2)).Threshold[1], d2);
}

TEST(ValueGroupsTest, NominalGroupsFollowTheOrderOfFirstAppearance) {
  // Codes 3, 1, 3, 2 with classes a, b, b, a and predicted-feature values 1, 5, 3, 7.
  auto run = RunBuilder()
                 .Nominal("colour", {"red", "green", "blue"}, {3, 1, 3, 2})
                 .Nominal("cls", {"a", "b"}, {1, 2, 2, 1})
                 .Classify(2)
                 .Values({1, 5, 3, 7})
                 .Build();
  const TValueGroups g = Group(*run, 1, Objects(1, 4));
  EXPECT_EQ(g.KnownCount, 4);
  ASSERT_EQ(g.GroupCount, 3);
  EXPECT_EQ(g.Row(1).Label, 3);
  EXPECT_EQ(g.Row(2).Label, 1);
  EXPECT_EQ(g.Row(3).Label, 2);
  EXPECT_EQ(g.Labels, (std::vector<int32_t>{3, 1, 3, 2}));
  EXPECT_EQ(g.Row(1).Values, std::vector<int32_t>{3});
  EXPECT_EQ(g.Row(2).Values, std::vector<int32_t>{1});
  EXPECT_EQ(g.Row(3).Values, std::vector<int32_t>{2});
  EXPECT_EQ(g.Row(1).ClassCount, Counts({1, 1}));
  EXPECT_EQ(g.Row(2).ClassCount, Counts({0, 1}));
  EXPECT_EQ(g.Row(3).ClassCount, Counts({1, 0}));
  // A classification run still keeps the statistics of the predicted values: {1, 3} for code 3.
  EXPECT_EQ(g.Row(1).Count, 2);
  EXPECT_EQ(g.Row(1).Mean, 2.0);
  EXPECT_EQ(g.Row(1).Spread, 1.0);
  EXPECT_EQ(g.Row(2).Mean, 5.0);
}

TEST(ValueGroupsTest, UnknownValuesAreInNoGroup) {
  auto run = RunBuilder()
                 .Numeric("x", {kMiss, 3, kMiss, 1})
                 .Nominal("colour", {"red", "green"}, {kMiss, 2, kMiss, 2})
                 .Nominal("none", {"red"}, {kMiss, kMiss, kMiss, kMiss})
                 .Numeric("y", {1, 2, 3, 4})
                 .Regress(4)
                 .Build();
  const TValueGroups x = Group(*run, 1, Objects(1, 4));
  EXPECT_EQ(x.KnownCount, 2);
  EXPECT_EQ(x.KnownObjects, (std::vector<int32_t>{2, 4}));
  EXPECT_EQ(x.Labels, (std::vector<int32_t>{2, 1}));
  ASSERT_EQ(x.GroupCount, 2);
  EXPECT_EQ(x.Row(1).Count + x.Row(2).Count, 2);
  const TValueGroups colour = Group(*run, 2, Objects(1, 4));
  EXPECT_EQ(colour.KnownCount, 2);
  ASSERT_EQ(colour.GroupCount, 1);
  EXPECT_EQ(colour.Row(1).Mean, 3.0);  // objects 2 and 4
  // Without a known value a nominal feature has no group, a numeric one its single group.
  EXPECT_EQ(Group(*run, 3, Objects(1, 4)).GroupCount, 0);
  EXPECT_EQ(Group(*run, 1, {1, 3}).KnownCount, 0);
  EXPECT_EQ(Group(*run, 1, {1, 3}).GroupCount, 1);
}

// Values are ranked once over the whole table, across several 64-value words; a node's groups
// are its own distinct values all the same.
TEST(ValueGroupsTest, NodeGroupsOnlyItsOwnValuesOfAWiderTable) {
  std::vector<double> x;
  for (int i = 0; i < 150; ++i) x.push_back((i * 37) % 150);
  auto run = NumericRun(x, std::vector<double>(150, 0.0));
  auto objectWith = [&](double value) {
    return static_cast<int32_t>(std::find(x.begin(), x.end(), value) - x.begin()) + 1;
  };
  const std::vector<int32_t> node = {objectWith(140), objectWith(3), objectWith(70),
                                     objectWith(65)};
  const TValueGroups g = Group(*run, 1, node);
  ASSERT_EQ(g.GroupCount, 4);
  EXPECT_EQ(g.Threshold, (std::vector<double>{-1e17, 34.0, 67.5, 105.0, 1e17}));
  EXPECT_EQ(g.Labels, (std::vector<int32_t>{4, 1, 3, 2}));
}

// One groups record serves node after node and feature after feature: a small node of a table of
// many values and a large one, each gets exactly its own distinct values, with nothing left over
// from the node before.
TEST(ValueGroupsTest, ReusedGroupsHoldOnlyTheCurrentNodesValues) {
  std::vector<double> wide, narrow;
  for (int i = 0; i < 5000; ++i) {
    wide.push_back((i * 1237) % 5000);
    narrow.push_back(i % 7);
  }
  auto run = RunBuilder()
                 .Numeric("wide", wide)
                 .Numeric("narrow", narrow)
                 .Numeric("y", std::vector<double>(5000, 0.0))
                 .Regress(3)
                 .Build();
  const std::vector<std::vector<int32_t>> nodes = {
      {4999, 5, 1500, 17}, Objects(1, 5000), {42}, {7, 8, 9, 4200, 4201}, Objects(100, 1300)};
  TValueGroups reused;
  for (const std::vector<int32_t>& node : nodes) {
    for (int32_t f : {1, 2, 1}) {
      const int32_t n = static_cast<int32_t>(node.size());
      BuildValueGroups(*run, node.data(), n, f, reused);
      const TValueGroups fresh = Group(*run, f, node);
      std::vector<double> values;
      for (int32_t o : node) values.push_back((f == 1 ? wide : narrow)[o - 1]);
      std::sort(values.begin(), values.end());
      values.erase(std::unique(values.begin(), values.end()), values.end());
      EXPECT_EQ(reused.GroupCount, std::max<int32_t>(1, static_cast<int32_t>(values.size())));
      EXPECT_EQ(reused.Labels, fresh.Labels);
      EXPECT_EQ(reused.Threshold, fresh.Threshold);
      if (n < 2) continue;
      for (int32_t g = 1; g <= reused.GroupCount; ++g) {
        EXPECT_EQ(reused.Row(g).Count, fresh.Row(g).Count);
        // Group g holds the g-th smallest value, below its upper threshold.
        EXPECT_LT(reused.Threshold[g - 1], values[g - 1]);
        EXPECT_LE(values[g - 1], reused.Threshold[g]);
      }
    }
  }
}

TEST(ValueGroupsTest, KnownObjectsKeepTheOrderOfTheNodeList) {
  auto run = NumericRun({1, 2, 3, 4}, {0, 0, 0, 0});
  const TValueGroups g = Group(*run, 1, {4, 2, 3});
  EXPECT_EQ(g.KnownObjects, (std::vector<int32_t>{4, 2, 3}));
  EXPECT_EQ(g.Labels, (std::vector<int32_t>{3, 1, 2}));
}

TEST(ValueGroupsTest, AddToGroupPoolsOneObjectAtATime) {
  auto run = NumericRun({1, 1}, {20, 30});
  TGroupRow row;
  AddToGroup(*run, row, 1);
  EXPECT_EQ(row.Count, 1);
  EXPECT_EQ(row.Mean, 20.0);
  EXPECT_EQ(row.Spread, 0.0);
  AddToGroup(*run, row, 2);
  EXPECT_EQ(row.Count, 2);
  EXPECT_EQ(row.Mean, 25.0);
  EXPECT_EQ(row.Spread, 25.0);  // (1 x (0 + (20 - 25)^2) + (30 - 25)^2) / 2
}

// The group statistics are those of pooling the objects one by one in list order, which need not
// round like the mean of squares minus the squared mean over the whole group.
TEST(ValueGroupsTest, GroupStatisticsArePooledObjectByObjectInListOrder) {
  const std::vector<double> y = {0.1, 0.7, 0.2, 0.3};
  auto run = NumericRun({1, 1, 1, 1}, y);
  const std::vector<int32_t> list = {3, 1, 4, 2};
  double count = 0, mean = 0, spread = 0;
  for (int32_t o : list) {
    const double pooled = PooledMean(count, mean, 1, y[o - 1]);
    spread = PooledDispersion(count, mean, spread, 1, y[o - 1], 0, pooled);
    mean = pooled;
    count += 1;
  }
  const TValueGroups g = Group(*run, 1, list);
  ASSERT_EQ(g.GroupCount, 1);
  EXPECT_EQ(g.Row(1).Count, 4);
  EXPECT_EQ(g.Row(1).Mean, mean);
  EXPECT_EQ(g.Row(1).Spread, spread);
}

}  // namespace
}  // namespace tarvo
