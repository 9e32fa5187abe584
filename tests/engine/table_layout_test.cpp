// The training part of a table: counts, column types, names, rows, value codes, the companion
// column and the target description. Line-sensitive cases run on CR LF and on LF tables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input_table.h"
#include "read_table.h"

namespace tarvo {
namespace {

using testing::LineEnds;
using testing::ReadOutcome;
using testing::ReadTable;
using testing::WithLineEnds;

// The values of column f for objects 1..N.
std::vector<double> Column(const ReadOutcome& read, int f) {
  return std::vector<double>(read.table.Data[f].begin() + 1, read.table.Data[f].end());
}

class TableLayout : public ::testing::TestWithParam<LineEnds> {
 protected:
  ReadOutcome Read(const std::string& text, int32_t featureToPredict = 1) {
    return ReadTable(WithLineEnds(text, GetParam()), featureToPredict);
  }
};

INSTANTIATE_TEST_SUITE_P(BothLineEnds, TableLayout, ::testing::Values(LineEnds::CrLf, LineEnds::Lf),
                         testing::LineEndsName);

TEST_P(TableLayout, FreeLayoutReadsLikeOneRowPerLine) {
  const ReadOutcome plain = Read("3 2 ?\n1 0(2)\nx y\n1.5 a\n? b\n-2 a\n");
  const ReadOutcome spread =
      Read("3,\n2 ,?\n# types follow #1,\n0(2) x\n#names# y\n1.5,a ?\nb -2 # last row #,a\n");
  ASSERT_TRUE(plain.trainingRead) << plain.report;
  ASSERT_TRUE(spread.trainingRead) << spread.report;
  EXPECT_EQ(spread.table.Data, plain.table.Data);
  EXPECT_EQ(spread.table.FeatureName, plain.table.FeatureName);
  EXPECT_EQ(Column(plain, 1), (std::vector<double>{1.5, MissingCode, -2.0}));
  EXPECT_EQ(Column(plain, 2), (std::vector<double>{1.0, 2.0, 1.0}));
}

TEST_P(TableLayout, RestOfTheLineAfterTheLastNameIsSkipped) {
  const std::vector<double> first = {1.0, 3.0}, second = {2.0, 4.0};
  for (const char* names : {"a b\n",                   // the name itself ends the line
                            "a b extra words, 9 9\n",  // the rest of the line is not data
                            "a b # 5 6\n",             // a '#' there opens no comment
                            "a b#note#\n",             // nor does the name's own '#' swallow rows
                            "a b#note\n",              //
                            "a\nb\n"}) {
    const ReadOutcome read = Read(std::string("2 2 ? 1 1 ") + names + "1 2\n3 4\n");
    ASSERT_TRUE(read.trainingRead) << names << read.report;
    EXPECT_EQ(Column(read, 1), first) << names;
    EXPECT_EQ(Column(read, 2), second) << names;
    EXPECT_EQ(read.table.FeatureName[2], "b") << names;
  }
}

TEST_P(TableLayout, ExtraValuesOfARowAreReadAsTheNextRow) {
  // A row with one value is not caught either: the next line completes it.
  const ReadOutcome read = Read("2 3 ? 1 1 1 a b c\n1\n2 3 4\n5 6\n");
  ASSERT_TRUE(read.trainingRead) << read.report;
  EXPECT_EQ(Column(read, 1), (std::vector<double>{1.0, 4.0}));
  EXPECT_EQ(Column(read, 2), (std::vector<double>{2.0, 5.0}));
  EXPECT_EQ(Column(read, 3), (std::vector<double>{3.0, 6.0}));
}

TEST_P(TableLayout, LfTableReadsAsItsCrLfTwin) {
  const std::string text =
      "4 3 NA # counts #\n1 0(3) 0(2)\nsize colour class\n"
      "1.25 red yes\n2 blue no\nNA red,\nyes\n4. green # comment\nover lines # no\n";
  const ReadOutcome read = Read(text, 3);
  const ReadOutcome crlf = ReadTable(WithLineEnds(text, LineEnds::CrLf), 3);
  ASSERT_TRUE(read.trainingRead) << read.report;
  EXPECT_EQ(read.table.Data, crlf.table.Data);
  EXPECT_EQ(Column(read, 1), (std::vector<double>{1.25, 2.0, MissingCode, 4.0}));
  EXPECT_EQ(Column(read, 2), (std::vector<double>{1.0, 2.0, 1.0, 3.0}));
  EXPECT_EQ(Column(read, 3), (std::vector<double>{1.0, 2.0, 1.0, 2.0}));
}

TEST(TableHeader, CountsAreTruncatedTowardZero) {
  const ReadOutcome read = ReadTable("2.9 2.99 ? 1 1 a b\r\n1 2\r\n3 4\r\n");
  ASSERT_TRUE(read.trainingRead) << read.report;
  EXPECT_EQ(read.table.ObjectCount, 2);
  EXPECT_EQ(read.table.FileColumns, 2);
  EXPECT_EQ(read.table.FeatureCount, 3);
}

TEST(TableHeader, TypeTokensDecodeOnTheirFirstFourCharacters) {
  // 0(123) and 0(12 declare 12 values, 0(2)rest declares 2; beyond 12 only in the last two columns.
  const ReadOutcome read = ReadTable(
      "1 7 ? 1 0(3) 0(123) 0(12 0(2)rest 0(40) 0(99)\r\nn1 n2 n3 n4 n5 n6 n7\r\n"
      "1 a b c d e f\r\n");
  ASSERT_TRUE(read.trainingRead) << read.report;
  const std::vector<int32_t> declared = {0, 3, 12, 12, 2, 40, 99};
  for (int f = 1; f <= 7; ++f) {
    EXPECT_EQ(read.table.DeclaredValues[f], declared[f - 1]) << f;
    EXPECT_EQ(read.table.FeatureType[f], f == 1 ? ftNumeric : ftNominal) << f;
    EXPECT_EQ(static_cast<int>(read.table.ValueTable[f].size()), declared[f - 1]) << f;
  }
  EXPECT_EQ(read.table.FeatureName[7], "n7");
}

TEST(TableRows, NominalTextsAreCodedInOrderOfFirstAppearance) {
  const ReadOutcome read = ReadTable("4 1 ? 0(3)\r\ncol\r\nb\r\na\r\nb\r\nA\r\n");
  ASSERT_TRUE(read.trainingRead) << read.report;
  EXPECT_EQ(Column(read, 1), (std::vector<double>{1.0, 2.0, 1.0, 3.0}));
  ASSERT_EQ(read.table.ValueTable[1].size(), 3u);
  EXPECT_EQ(read.table.ValueTable[1][0].Text, "b");
  EXPECT_EQ(read.table.ValueTable[1][1].Text, "a");
  EXPECT_EQ(read.table.ValueTable[1][2].Text, "A");  // texts compare case-sensitively
  EXPECT_EQ(read.table.ValueTable[1][2].Code, 3);
}

TEST(TableRows, MissingTokenStoresMissingCodeAndTakesNoEntry) {
  const ReadOutcome read = ReadTable("3 2 NA 1 0(1) x y\r\nNA NA\r\n5 a\r\n9999 a\r\n");
  ASSERT_TRUE(read.trainingRead) << read.report;
  EXPECT_EQ(Column(read, 1), (std::vector<double>{MissingCode, 5.0, MissingCode}));
  EXPECT_EQ(Column(read, 2), (std::vector<double>{MissingCode, 1.0, 1.0}));
  EXPECT_EQ(read.table.ValueTable[2][0].Text, "a");
}

TEST(TableRows, TextsAgreeingInTheirFirstTwentyCharactersAreOneValue) {
  const ReadOutcome read =
      ReadTable("2 1 ? 0(1)\r\nname\r\nabcdefghijklmnopqrstXYZ\r\nabcdefghijklmnopqrstUVW\r\n");
  ASSERT_TRUE(read.trainingRead) << read.report;
  EXPECT_EQ(Column(read, 1), (std::vector<double>{1.0, 1.0}));
  EXPECT_EQ(read.table.ValueTable[1][0].Text, "abcdefghijklmnopqrst");
}

const char kMixedTable[] = "3 3 ? 1 0(3) 0(2) x cls w\r\n1 a p\r\n2 b q\r\n3 a p\r\n";

TEST(TargetDescription, NominalPredictedColumnMakesAClassificationRun) {
  const ReadOutcome read = ReadTable(kMixedTable, 2, 1.5);
  ASSERT_TRUE(read.trainingRead) << read.report;
  EXPECT_EQ(read.target.ClassFeature, 2);
  EXPECT_EQ(read.target.RegressionFeature, 3);
  EXPECT_EQ(read.target.ErrorWeight, 1.5);
  EXPECT_EQ(read.target.DispersionWeight, 0.0);
  EXPECT_TRUE(read.target.ClassificationMode);
  EXPECT_FALSE(read.target.RegressionMode);
  EXPECT_EQ(read.target.NumberOfClasses, 3);
  EXPECT_EQ(read.target.ClassName(1), "a");
  EXPECT_EQ(read.target.ClassName(2), "b");
  EXPECT_EQ(read.target.ClassName(3), "");  // declared but never met
  // The companion column: numeric, named Y, 1.0 for every object, never a predictor.
  EXPECT_EQ(read.table.FeatureCount, 4);
  EXPECT_EQ(read.table.FeatureType[4], ftNumeric);
  EXPECT_EQ(read.table.FeatureName[4], "Y");
  EXPECT_EQ(Column(read, 4), (std::vector<double>{1.0, 1.0, 1.0}));
  const std::vector<bool> mask = {true, false, true, false, false};
  for (int f = 1; f <= 5; ++f) EXPECT_EQ(read.mask[f], mask[f - 1]) << f;
}

TEST(TargetDescription, NumericPredictedColumnMakesARegressionRun) {
  const ReadOutcome read = ReadTable(kMixedTable, 1, 1.5);
  ASSERT_TRUE(read.trainingRead) << read.report;
  EXPECT_EQ(read.target.ClassFeature, 3);
  EXPECT_EQ(read.target.RegressionFeature, 1);
  EXPECT_EQ(read.target.ErrorWeight, 0.0);
  EXPECT_EQ(read.target.DispersionWeight, 1.5);
  EXPECT_FALSE(read.target.ClassificationMode);
  EXPECT_TRUE(read.target.RegressionMode);
  EXPECT_EQ(read.target.NumberOfClasses, 0);
  // The companion column: nominal, named W, one value "1" of code 1.
  EXPECT_EQ(read.table.FeatureType[4], ftNominal);
  EXPECT_EQ(read.table.FeatureName[4], "W");
  EXPECT_EQ(read.table.DeclaredValues[4], 1);
  ASSERT_EQ(read.table.ValueTable[4].size(), 1u);
  EXPECT_EQ(read.table.ValueTable[4][0].Text, "1");
  EXPECT_EQ(read.table.ValueTable[4][0].Code, 1);
  EXPECT_EQ(Column(read, 4), (std::vector<double>{1.0, 1.0, 1.0}));
  EXPECT_FALSE(read.mask[1]);
  EXPECT_TRUE(read.mask[2]);
  EXPECT_TRUE(read.mask[3]);
}

TEST(TargetDescription, ZeroTargetWeightUsesNeitherPart) {
  const ReadOutcome read = ReadTable(kMixedTable, 2, 0.0);
  ASSERT_TRUE(read.trainingRead) << read.report;
  EXPECT_FALSE(read.target.ClassificationMode);
  EXPECT_FALSE(read.target.RegressionMode);
  EXPECT_EQ(read.target.NumberOfClasses, 0);
  EXPECT_EQ(read.table.FeatureType[4], ftNominal);
  EXPECT_EQ(read.table.FeatureName[4], "W");
}

TEST(TargetDescription, ClassNamesComeFromTheTrainingRowsOnly) {
  const ReadOutcome read = ReadTable("2 2 ? 1 0(3) x cls\r\n1 a\r\n2 a\r\nPredict 1\r\n3 b\r\n", 2);
  ASSERT_TRUE(read.predictionRead) << read.report;
  EXPECT_EQ(read.target.ClassName(1), "a");
  EXPECT_EQ(read.target.ClassName(2), "");
  EXPECT_EQ(read.table.ValueTable[2][1].Text, "b");
  EXPECT_EQ(read.table.PredictData[2][1], 2.0);
}

}  // namespace
}  // namespace tarvo
