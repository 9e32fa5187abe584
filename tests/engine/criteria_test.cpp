// The statistics and stop tests that judge nodes, groups and partitions.
#include "criteria.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "run_fixture.h"

namespace tarvo {
namespace {

using testing::Counts;
using testing::kMiss;
using testing::RunBuilder;

std::unique_ptr<TRunState> ClassificationRun(double targetWeight = 1.0) {
  return RunBuilder()
      .Nominal("cls", {"a", "b"}, {1})
      .Classify(1)
      .TargetWeight(targetWeight)
      .Build();
}

std::unique_ptr<TRunState> RegressionRun(std::vector<double> y = {1.0}) {
  return RunBuilder().Numeric("y", std::move(y)).Regress(1).Build();
}

TEST(MajorityErrorsTest, CountsObjectsOutsideTheMajorityClass) {
  EXPECT_EQ(MajorityErrors(Counts({3, 5, 5}), 3), 8);  // class 2 wins the tie with class 3
  EXPECT_EQ(MajorityErrors(Counts({4, 4}), 2), 4);
  EXPECT_EQ(MajorityErrors(Counts({2, 7}), 0), 0);  // no classes in a regression run
}

TEST(ImpurityTest, GiniAndEntropyOfHandWorkedCounts) {
  EXPECT_DOUBLE_EQ(Impurity(Counts({2, 2}), 2, TImpurity::Gini), 2.0);  // 4 - (4 + 4) / 4
  EXPECT_DOUBLE_EQ(Impurity(Counts({2, 2}), 2, TImpurity::Entropy), 4 * std::log(2.0));
  EXPECT_DOUBLE_EQ(Impurity(Counts({3, 0, 1}), 3, TImpurity::Entropy),
                   3 * std::log(4.0 / 3) + std::log(4.0));
  EXPECT_EQ(Impurity(Counts({5, 0}), 2, TImpurity::Entropy), 0.0);  // a pure node
  EXPECT_EQ(Impurity(Counts({0, 0}), 2, TImpurity::Entropy), 0.0);  // no objects
}

TEST(PortableLogTest, AgreesWithTheMathsLibraryOverTheRangeOfClassRatios) {
  EXPECT_EQ(PortableLog(1.0), 0.0);
  EXPECT_EQ(PortableLog(2.0), 0.69314718055994530942);  // exactly the nearest double
  // Every ratio of an entropy term, objects over a class's count, lies in [1, objects]; beyond
  // that the same reduction holds for small and huge values.
  for (double x : {1.0 + 1e-15, 0.7071067811865475, 0.7071067811865476, 1.5, 3.0, 10.0, 1e-300,
                   4.9e-324, 1e300}) {
    EXPECT_NEAR(PortableLog(x), std::log(x), 4e-16 * std::max(1.0, std::fabs(std::log(x)))) << x;
  }
  for (int objects = 1; objects <= 3000; objects += 7) {
    for (int count = 1; count <= objects; count += 13) {
      const double x = static_cast<double>(objects) / count;
      ASSERT_NEAR(PortableLog(x), std::log(x), 4e-16 * std::max(1.0, std::log(x))) << x;
    }
  }
}

TEST(NodeStatisticsTest, MeanAndPopulationVarianceOverTheListedObjects) {
  auto run = RegressionRun({1, 2, 3, 4, 100});
  const std::vector<int32_t> list = {4, 1, 3, 2};  // object 5 is not in the node
  const double mean = NodeMean(*run, list.data(), 4);
  EXPECT_EQ(mean, 2.5);
  // (1 + 4 + 9 + 16) / 4 - 2.5^2 = 7.5 - 6.25
  EXPECT_EQ(NodeDispersion(*run, list.data(), 4, mean), 1.25);
}

TEST(NodeStatisticsTest, PooledStatisticsOfTwoGroupsEqualThoseOfTheirUnion) {
  // A = {0, 2}: mean 1, variance 1; B = {2, 4}: mean 3, variance 1. The union {0, 2, 2, 4} has
  // mean 2 and variance (0 + 4 + 4 + 16) / 4 - 4 = 2.
  const double m = PooledMean(2, 1.0, 2, 3.0);
  EXPECT_EQ(m, 2.0);
  EXPECT_EQ(PooledDispersion(2, 1.0, 1.0, 2, 3.0, 1.0, m), 2.0);
  // One group given twice is itself.
  EXPECT_EQ(PooledMean(3, 1.5, 3, 1.5), 1.5);
  EXPECT_EQ(PooledDispersion(3, 1.5, 0.25, 3, 1.5, 0.25, 1.5), 0.25);
}

// A node of 20 objects, 8 outside the majority class: unsplit it scores 8/20 + 1/20; a split on a
// feature known for all 20 into two leaves with 2 misclassified objects scores
// 2/20 + 2/20 + 0.1 x cost 1.
TEST(SplitScoreTest, WorkedExampleOfTwentyObjectsPrefersTheSplit) {
  auto run = ClassificationRun();
  const double unsplit = SplitScore(*run, 1, 0.0, 0.0, 8.0 / 20, 20);
  const double split = SplitScore(*run, 2, 1.0, 0.0, 2.0 / 20, 20);
  EXPECT_DOUBLE_EQ(unsplit, 0.45);
  EXPECT_DOUBLE_EQ(split, 0.3);
  EXPECT_LT(split, unsplit);
}

TEST(SplitScoreTest, DispersionCountsRelativeToTheRoot) {
  auto run = RegressionRun();
  run->RootDispersion = 4.0;
  // 2 / 4 + 1 leaf / 10 objects
  EXPECT_DOUBLE_EQ(SplitScore(*run, 1, 0.0, 2.0, 0.0, 10), 0.6);
  // The error term weighs 0 in a regression run.
  EXPECT_DOUBLE_EQ(SplitScore(*run, 1, 0.0, 2.0, 0.9, 10), 0.6);
}

TEST(SplitScoreTest, ZeroRootDispersionDropsTheDispersionTerm) {
  auto run = RegressionRun();
  run->RootDispersion = 0.0;
  // Only 2 leaves / 10 objects and the cost 0.1 remain.
  EXPECT_DOUBLE_EQ(SplitScore(*run, 2, 1.0, 5.0, 0.0, 10), 0.3);
}

TEST(SplitScoreTest, NegativeWithinDispersionCountsAsZero) {
  auto run = RegressionRun();
  run->RootDispersion = 4.0;
  EXPECT_EQ(SplitScore(*run, 1, 0.0, -1e-12, 0.0, 10), 0.1);
  EXPECT_EQ(SplitScore(*run, 1, 0.0, -1e-12, 0.0, 10), SplitScore(*run, 1, 0.0, 0.0, 0.0, 10));
}

TEST(IsHomogeneousTest, ClassificationStopsAtTheThresholdInclusive) {
  auto run = ClassificationRun();  // Homogeneity 0.05
  EXPECT_TRUE(IsHomogeneous(*run, 20, 1.0 / 20, 0, 0));
  EXPECT_TRUE(IsHomogeneous(*run, 25, 1.0 / 25, 0, 0));   // 0.04
  EXPECT_FALSE(IsHomogeneous(*run, 25, 2.0 / 25, 0, 0));  // 0.08
  // The weight scales the error frequency: 2 x 0.025 is exactly the threshold.
  auto weighted = ClassificationRun(2.0);
  EXPECT_TRUE(IsHomogeneous(*weighted, 40, 0.025, 0, 0));
  EXPECT_FALSE(IsHomogeneous(*weighted, 100, 0.03, 0, 0));
}

TEST(IsHomogeneousTest, RegressionComparesTheDispersionIndexWithUMinusOneDegrees) {
  auto run = RegressionRun();
  run->ChiSquareTable.assign(run->ChiSquareTable.size(), 0.0);
  run->ChiSquareTable[3] = 4.0;
  // u = 4, v = 2, m = 2: D = 4 x 2 / 2 = 4, the table value for 3 degrees of freedom.
  EXPECT_TRUE(IsHomogeneous(*run, 4, 0.9, 2.0, 2.0));
  run->ChiSquareTable[3] = 3.999;
  EXPECT_FALSE(IsHomogeneous(*run, 4, 0.0, 2.0, 2.0));
}

TEST(IsHomogeneousTest, RegressionSingleObjectOrZeroMeanIsHomogeneous) {
  auto run = RegressionRun();  // a chi-square table of zeros: any spread would fail the test
  EXPECT_TRUE(IsHomogeneous(*run, 1, 0.0, 100.0, 5.0));
  EXPECT_TRUE(IsHomogeneous(*run, 10, 0.0, 100.0, 0.0));
  EXPECT_FALSE(IsHomogeneous(*run, 10, 0.0, 100.0, 5.0));
}

// With a negative mean no cell is drawn: every trial sums u terms (0 - m)^2 / m = m, and
// D = u v / m <= u m holds exactly when v >= m^2.
TEST(IsHomogeneousTest, NegativeMeanIsHomogeneousWhenDispersionReachesTheMeanSquared) {
  auto run = RegressionRun();  // MonteCarlo 100, Homogeneity 0.05: HomogeneityCount 5
  ASSERT_EQ(run->HomogeneityCount, 5);
  const uint32_t state = run->Random.State();
  EXPECT_TRUE(IsHomogeneous(*run, 5, 0.0, 4.0, -2.0));
  EXPECT_TRUE(IsHomogeneous(*run, 5, 0.0, 5.0, -2.0));
  EXPECT_FALSE(IsHomogeneous(*run, 5, 0.0, 3.99, -2.0));
  EXPECT_TRUE(IsHomogeneous(*run, 5, 0.0, 0.0, -2.0));  // D = 0
  EXPECT_EQ(run->Random.State(), state);
}

TEST(IsHomogeneousTest, NegativeMeanIsHomogeneousWhenNoTrialNeedCount) {
  auto run = RegressionRun();
  run->HomogeneityCount = 0;
  EXPECT_TRUE(IsHomogeneous(*run, 5, 0.0, 1.0, -2.0));
  run->HomogeneityCount = -3;
  EXPECT_TRUE(IsHomogeneous(*run, 5, 0.0, 1.0, -2.0));
}

class IsUnsplittableTest : public ::testing::Test {
 protected:
  // Three objects of two classes. "same" agrees wherever it is known; "varies" and "excluded"
  // do not; "late" first differs after a missing value; "unknown" is missing everywhere.
  IsUnsplittableTest()
      : run_(RunBuilder()
                 .Numeric("same", {5, kMiss, 5})
                 .Numeric("varies", {1, 2, 3})
                 .Numeric("excluded", {7, 8, 9})
                 .Numeric("late", {kMiss, 5, 6})
                 .Numeric("unknown", {kMiss, kMiss, kMiss})
                 .Nominal("cls", {"a", "b"}, {1, 2, 1})
                 .Classify(6)
                 .Build()) {}

  bool Unsplittable(std::vector<int32_t> features, int32_t excluded,
                    std::vector<int32_t> objects = {1, 2, 3}) const {
    TFeatureMask mask;
    for (int32_t f : features) mask[f] = true;
    return IsUnsplittable(*run_, objects.data(), static_cast<int32_t>(objects.size()), mask,
                          excluded);
  }

  std::unique_ptr<TRunState> run_;
};

TEST_F(IsUnsplittableTest, AgreementOnEveryUsableFeatureIsUnsplittable) {
  // The classes differ, but no allowed feature other than the excluded one separates the objects.
  EXPECT_TRUE(Unsplittable({1, 3, 5}, 3));
  EXPECT_TRUE(Unsplittable({1}, 0));
}

TEST_F(IsUnsplittableTest, AnAllowedFeatureThatVariesMakesItSplittable) {
  EXPECT_FALSE(Unsplittable({1, 2}, 3));
  EXPECT_FALSE(Unsplittable({1, 3}, 0));  // "excluded" counts when it is not the excluded one
  EXPECT_FALSE(Unsplittable({4}, 0));     // the first known value is the reference
}

TEST_F(IsUnsplittableTest, OnlyTheListedObjectsCount) {
  EXPECT_TRUE(Unsplittable({2, 4}, 0, {2}));
  EXPECT_FALSE(Unsplittable({2}, 0, {3, 1}));
  EXPECT_TRUE(Unsplittable({4}, 0, {1, 2}));  // one known value of "late" among them
}

}  // namespace
}  // namespace tarvo
