// The report of one tree: header, rules with their conditions and object lists, the tree's error.
#include "rule_report.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "run_fixture.h"
#include "test_files.h"

namespace tarvo {
namespace {

using testing::ClassLeaf;
using testing::kMiss;
using testing::LineEnds;
using testing::RunBuilder;
using testing::TempFolder;
using testing::TreeBuilder;
using testing::ValueLeaf;
using testing::WithLineEnds;

// Expected text is written with "\n"; the report ends its lines with CR LF.
std::string Crlf(const std::string& text) {
  return WithLineEnds(text, LineEnds::CrLf);
}

std::string Report(TRunState& run) {
  TempFolder folder;
  const std::string path = folder.File("output.txt");
  EXPECT_TRUE(run.Report.Open(path));
  WriteTreeReport(run);
  run.Report.Close();
  return testing::ReadBytes(path);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

const char kStars[] = "************************************************************\n";
const char kDashes[] = "------------------------------------------------------------\n";

// Forty plants. Height 160 and colour red or green: 1, 4, 9, 12, 15 (tall), 20, 31 (short).
// Height 160 and blue: 2, 3 (short). Every other plant is 180 high, red and tall.
std::unique_ptr<TRunState> Plants() {
  std::vector<double> height(40, 180), colour(40, 1), sort(40, 1);
  const std::vector<std::pair<int, double>> codes = {{4, 2}, {12, 2}, {31, 2}, {2, 3}, {3, 3}};
  for (int o : {1, 4, 9, 12, 15, 20, 31, 2, 3}) height[o - 1] = 160;
  for (const auto& [o, code] : codes) colour[o - 1] = code;
  for (int o : {20, 31, 2, 3}) sort[o - 1] = 2;
  return RunBuilder()
      .Numeric("height", height)
      .Nominal("colour", {"red", "green", "blue"}, colour)
      .Numeric("weight", std::vector<double>(40, 1))
      .Nominal("sort", {"tall", "short"}, sort)
      .Classify(4)
      .InputFile("C:\\data\\plants.txt")
      .Build();
}

// root: height <= 170 -> (colour red,green -> 5 tall 2 short; blue -> 2 short), height > 170 ->
// 31 tall.
void PlantTree(TRunState& run) {
  TreeBuilder tree = TreeBuilder::InPools(run);
  TNodeRec& root = tree.Root();
  TNodeRec& low = tree.Interval(root, 1, -1e17, 170);
  ClassLeaf(tree.ValueSet(low, 2, {1, 2}), {5, 2}, false);
  ClassLeaf(tree.ValueSet(low, 2, {3}), {0, 2}, true);
  ClassLeaf(tree.Interval(root, 1, 170, 1e17), {31, 0}, true);
  run.LeafCount = 3;
}

TEST(RuleReportTest, ClassificationTreeReadsAsTheDescribedRules) {
  auto run = Plants();
  PlantTree(*run);
  // Misclassified 2 of the 7 + 2 + 31 = 40 covered objects.
  const std::string expected =
      std::string(kStars) +
      "input file: C:\\data\\plants.txt\n"
      "Recursive Complexity= 1.000 Homogeneity=0.050\n"
      "Number of sites=  40 Number of features=   4 Number of classes=   2\n"
      "\n"
      "Variant N  1\n"
      " Rule   1,\n"
      " IF\n"
      " height <=  170.00, AND \n"
      "colour = red,green,\n"
      " THEN sort =tall\n"
      "\n"
      " Number of objects   7,\n"
      " Objects NN, for which this rule is true : \n"
      " tall\n"
      "   1,   4,   9,  12,  15,\n"
      " short\n"
      "  20,  31,\n"
      " Heterogeneous group\n"
      " Rule can not be continued\n" +
      kDashes +
      " Rule   2,\n"
      " IF\n"
      " height <=  170.00, AND \n"
      "colour = blue,\n"
      " THEN sort =short\n"
      "\n"
      " Number of objects   2,\n"
      " Objects NN, for which this rule is true : \n"
      " tall\n"
      "\n"
      " short\n"
      "   2,   3,\n" +
      kDashes +
      " Rule   3,\n"
      " IF\n"
      " height >  170.00,\n"
      " THEN sort =tall\n"
      "\n"
      " Number of objects  31,\n"
      " Objects NN, for which this rule is true : \n"
      " tall\n"
      "   5,   6,   7,   8,  10,  11,  13,  14,  16,  17,  18,  19,  21,"
      "  22,  23,  24,  25,  26,  27,\n"
      "  28,  29,  30,  32,  33,  34,  35,  36,  37,  38,  39,  40,\n"
      " short\n"
      "\n" +
      kDashes + " Misclassification frequency for the tree is   0.05\n";
  EXPECT_EQ(Report(*run), Crlf(expected));
}

TEST(RuleReportTest, ClassWithExactlyNineteenObjectsIsFollowedByAnEmptyLine) {
  std::vector<double> sort(20, 1);
  sort[19] = 2;
  auto run = RunBuilder()
                 .Numeric("x", std::vector<double>(20, 1))
                 .Nominal("sort", {"tall", "short"}, sort)
                 .Classify(2)
                 .Build();
  TreeBuilder tree = TreeBuilder::InPools(*run);
  TNodeRec& root = tree.Root();
  ClassLeaf(tree.Interval(root, 1, -1e17, 1.5), {19, 1}, true);
  ClassLeaf(tree.Interval(root, 1, 1.5, 1e17), {0, 0}, true);
  run->LeafCount = 2;
  const std::string list =
      " tall\n"
      "   1,   2,   3,   4,   5,   6,   7,   8,   9,  10,  11,  12,  13,  14,  15,  16,  17,  18,"
      "  19,\n"
      "\n"
      " short\n"
      "  20,\n"
      "------";
  EXPECT_TRUE(Contains(Report(*run), Crlf(list)));
}

TEST(RuleReportTest, FeatureTestedTwiceIsWrittenOnceAsTheCombinedInterval) {
  auto run = Plants();
  // height <= 170, then colour red, then height > 150 deeper down.
  TreeBuilder tree = TreeBuilder::InPools(*run);
  TNodeRec& root = tree.Root();
  TNodeRec& low = tree.Interval(root, 1, -1e17, 170);
  TNodeRec& red = tree.ValueSet(low, 2, {1});
  ClassLeaf(tree.Interval(red, 1, -1e17, 150), {0, 0}, true);
  ClassLeaf(tree.Interval(red, 1, 150, 1e17), {5, 1}, true);
  ClassLeaf(tree.ValueSet(low, 2, {2, 3}), {2, 3}, true);
  ClassLeaf(tree.Interval(root, 1, 170, 1e17), {31, 0}, true);
  run->LeafCount = 4;
  const std::string report = Report(*run);
  // The deeper test's open lower bound is still open in the first test: it stays open.
  EXPECT_TRUE(
      Contains(report, Crlf(" Rule   1,\n IF\n height <=  150.00, AND \ncolour = red,\n THEN")));
  // Its open upper bound takes the first test's 170; the condition stands where height was first
  // tested, before colour.
  EXPECT_TRUE(Contains(
      report, Crlf(" Rule   2,\n IF\n height =]   150.00,  170.00], AND \ncolour = red,\n THEN")));
}

TEST(RuleReportTest, VariantTwoHasNoHeader) {
  auto run = Plants();
  PlantTree(*run);
  run->VariantNumber = 2;
  const std::string start = Crlf(std::string(kStars) + "\nVariant N  2\n Rule   1,\n");
  EXPECT_EQ(Report(*run).substr(0, start.size()), start);
}

TEST(RuleReportTest, OneNodeTreeWritesTheVerdictOnly) {
  auto run = Plants();
  TreeBuilder tree = TreeBuilder::InPools(*run);
  ClassLeaf(tree.Root(), {36, 4}, true);
  run->LeafCount = 1;
  EXPECT_EQ(Report(*run),
            Crlf(std::string(kStars) +
                 "input file: C:\\data\\plants.txt\n"
                 "Recursive Complexity= 1.000 Homogeneity=0.050\n"
                 "Number of sites=  40 Number of features=   4 Number of classes=   2\n"
                 " No rule is found for given parameters\n"
                 " Objects are homogenious\n"));
  run->VariantNumber = 2;
  run->Root()->Terminal = false;
  EXPECT_EQ(Report(*run), Crlf(std::string(kStars) + " No rule is found for given parameters\n"
                                                     " Objects are heterogenious\n"));
}

// Eight people; person 8 has no weight and takes part in nothing.
std::unique_ptr<TRunState> People() {
  return RunBuilder()
      .Numeric("height", {140, 160, 155, 180, 165, 145, 175, 160})
      .Numeric("weight", {50, 60, 85.5, 95, 72, 61, 88, kMiss})
      .Regress(2)
      .InputFile("people.txt")
      .Build();
}

// height <= 150 -> leaf 1; height > 150 -> (height <= 170 -> leaf 2; height > 170 -> leaf 3).
// The tree's error: sqrt((10 x 9 + 12 x 5.1234^2 + 8 x 15.5) / 30) = sqrt(17.633...) = 4.199...
TEST(RuleReportTest, RegressionTreeReadsAsTheDescribedRules) {
  auto run = People();
  TreeBuilder tree = TreeBuilder::InPools(*run);
  TNodeRec& root = tree.Root();
  ValueLeaf(tree.Interval(root, 1, -1e17, 150), 10, 55.5, 9.0, false);
  TNodeRec& high = tree.Interval(root, 1, 150, 1e17);
  ValueLeaf(tree.Interval(high, 1, -1e17, 170), 12, 72.35, 5.1234 * 5.1234, true);
  ValueLeaf(tree.Interval(high, 1, 170, 1e17), 8, 90.25, 15.5, false);
  run->LeafCount = 3;
  const std::string expected = std::string(kStars) +
                               "input file: people.txt\n"
                               "Recursive Complexity= 1.000 Homogeneity=0.050\n"
                               "Number of sites=   8 Number of features=   2\n"
                               "Variant N  1\n"
                               " Rule   1,\n"
                               " IF\n"
                               " height <=  150.00,\n"
                               " THEN weight = 55.50,\n"
                               " Standard error   3.0000,\n"
                               " Number of objects  10,\n"
                               " Objects NN, for which this rule is true : \n"
                               "   1,   6,\n"
                               " Min value weight -   50.000,\n"
                               " Max value weight -   61.000,\n"
                               " Heterogeneous group\n"
                               " Rule can not be continued\n" +
                               kDashes +
                               " Rule   2,\n"
                               " IF\n"
                               " height =]   150.00,  170.00],\n"
                               " THEN weight = 72.35,\n"
                               " Standard error   5.1234,\n"
                               " Number of objects  12,\n"
                               " Objects NN, for which this rule is true : \n"
                               "   2,   3,   5,\n"
                               " Min value weight -   60.000,\n"
                               " Max value weight -   85.500,\n" +
                               kDashes +
                               " Rule   3,\n"
                               " IF\n"
                               " height >  170.00,\n"
                               " THEN weight = 90.25,\n"
                               " Standard error   3.9370,\n"
                               " Number of objects   8,\n"
                               " Objects NN, for which this rule is true : \n"
                               "   4,   7,\n"
                               " Min value weight -   88.000,\n"
                               " Max value weight -   95.000,\n"
                               " Heterogeneous group\n"
                               " Rule can not be continued\n" +
                               kDashes + " Standard error for the tree is   4.20\n";
  EXPECT_EQ(Report(*run), Crlf(expected));
}

TEST(RuleReportTest, RegressionRuleWithoutObjectsPrintsTheUntouchedBounds) {
  auto run = People();
  TreeBuilder tree = TreeBuilder::InPools(*run);
  TNodeRec& root = tree.Root();
  ValueLeaf(tree.Interval(root, 1, -1e17, 100), 1, 0.0, 0.0, true);  // nobody is that short
  ValueLeaf(tree.Interval(root, 1, 100, 1e17), 7, 73.0, 1.0, true);
  run->LeafCount = 2;
  EXPECT_TRUE(Contains(Report(*run), Crlf(" Objects NN, for which this rule is true : \n"
                                          "\n"
                                          " Min value weight - 100000000000000000.000,\n"
                                          " Max value weight - -100000000000000000.000,\n")));
}

TEST(RuleReportTest, SlightlyNegativeDispersionCountsAsZero) {
  auto run = People();
  TreeBuilder tree = TreeBuilder::InPools(*run);
  TNodeRec& root = tree.Root();
  ValueLeaf(tree.Interval(root, 1, -1e17, 150), 1, 50.0, -1e-15, true);
  ValueLeaf(tree.Interval(root, 1, 150, 1e17), 1, 60.0, 0.0, true);
  run->LeafCount = 2;
  const std::string report = Report(*run);
  EXPECT_TRUE(Contains(report, Crlf(" THEN weight = 50.00,\n Standard error   0.0000,\n")));
  // Nothing negative was added: sqrt(0 / 2).
  EXPECT_TRUE(Contains(report, Crlf(" Standard error for the tree is   0.00\n")));
}

TEST(RuleReportTest, RegressionListsFifteenObjectsPerLine) {
  std::vector<double> y;
  for (int o = 1; o <= 16; ++o) y.push_back(o);
  auto run =
      RunBuilder().Numeric("x", std::vector<double>(16, 1)).Numeric("y", y).Regress(2).Build();
  TreeBuilder tree = TreeBuilder::InPools(*run);
  TNodeRec& root = tree.Root();
  ValueLeaf(tree.Interval(root, 1, -1e17, 1.5), 16, 8.5, 21.25, true);
  ValueLeaf(tree.Interval(root, 1, 1.5, 1e17), 1, 0.0, 0.0, true);
  run->LeafCount = 2;
  EXPECT_TRUE(
      Contains(Report(*run),
               Crlf("   1,   2,   3,   4,   5,   6,   7,   8,   9,  10,  11,  12,  13,  14,  15,\n"
                    "  16,\n"
                    " Min value y -    1.000,\n"
                    " Max value y -   16.000,\n")));
}

TEST(RuleReportTest, RegressionOneNodeVerdictContinuesTheHeaderLine) {
  auto run = People();
  TreeBuilder tree = TreeBuilder::InPools(*run);
  ValueLeaf(tree.Root(), 7, 73.0, 200.0, false);
  run->LeafCount = 1;
  EXPECT_EQ(Report(*run),
            Crlf(std::string(kStars) + "input file: people.txt\n"
                                       "Recursive Complexity= 1.000 Homogeneity=0.050\n"
                                       "Number of sites=   8 Number of features=   2"
                                       " No rule is found for given parameters\n"
                                       " Objects are heterogenious\n"));
}

}  // namespace
}  // namespace tarvo
