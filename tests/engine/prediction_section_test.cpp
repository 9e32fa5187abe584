// The optional prediction section: finding the marker word, its count, and the rows to predict.
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

// Two training objects; column 2 is nominal with one of its three codes left free.
const char kTraining[] = "2 2 ? 1 0(3) x c\n1 a\n2 b\n";

class PredictionSection : public ::testing::TestWithParam<LineEnds> {
 protected:
  ReadOutcome Read(const std::string& afterRows) {
    return ReadTable(WithLineEnds(kTraining + afterRows, GetParam()));
  }
};

INSTANTIATE_TEST_SUITE_P(BothLineEnds, PredictionSection,
                         ::testing::Values(LineEnds::CrLf, LineEnds::Lf), testing::LineEndsName);

std::vector<double> PredictColumn(const ReadOutcome& read, int f) {
  return std::vector<double>(read.table.PredictData[f].begin() + 1,
                             read.table.PredictData[f].end());
}

TEST_P(PredictionSection, MarkerCountAndRows) {
  const ReadOutcome read = Read("Predict 3\n5 a\n? c\n-1.5 b\n");
  ASSERT_TRUE(read.predictionRead) << read.report;
  EXPECT_EQ(read.report, "");
  ASSERT_EQ(read.table.PredictCount, 3);
  EXPECT_EQ(PredictColumn(read, 1), (std::vector<double>{5.0, MissingCode, -1.5}));
  // A text first met here takes the next free code of its column.
  EXPECT_EQ(PredictColumn(read, 2), (std::vector<double>{1.0, 3.0, 2.0}));
  EXPECT_EQ(PredictColumn(read, 3), (std::vector<double>{1.0, 1.0, 1.0}));
}

TEST_P(PredictionSection, LowerCaseMarkerAndTruncatedCount) {
  const ReadOutcome read = Read("predict 1.9\n7 b\n");
  ASSERT_TRUE(read.predictionRead) << read.report;
  ASSERT_EQ(read.table.PredictCount, 1);
  EXPECT_EQ(read.table.PredictData[1][1], 7.0);
}

TEST_P(PredictionSection, NoMarkerNoSection) {
  const ReadOutcome read = Read("");
  ASSERT_TRUE(read.predictionRead) << read.report;
  EXPECT_EQ(read.table.PredictCount, 0);
  EXPECT_EQ(read.report, "");
}

TEST_P(PredictionSection, MarkerEndedByTheEndOfFileIsNoSection) {
  const ReadOutcome read = Read("Predict");
  ASSERT_TRUE(read.predictionRead) << read.report;
  EXPECT_EQ(read.table.PredictCount, 0);
  EXPECT_EQ(read.report, "");
}

TEST_P(PredictionSection, MarkerFollowedByALineBreakAloneHasNoCount) {
  const ReadOutcome read = Read("Predict\n");
  EXPECT_FALSE(read.predictionRead);
  EXPECT_EQ(read.report, "Error in input file: wrong number of predicting data\r\n");
}

TEST_P(PredictionSection, OnlyTheExactWordsAreMarkers) {
  const ReadOutcome read =
      Read("PREDICT 1\n5 a\nPredict: 1\n6 a\n#Predict 1\n,Predict 1\nxPredict 1\n");
  ASSERT_TRUE(read.predictionRead) << read.report;
  EXPECT_EQ(read.table.PredictCount, 0);
  EXPECT_EQ(read.report, "");
}

TEST_P(PredictionSection, CommentsAreNotRecognisedInTheSearch) {
  // The word Predict inside a comment is the marker, and "these" is then its count.
  const ReadOutcome read = Read("# the rows to Predict these #\n1\n5 a\n");
  EXPECT_FALSE(read.predictionRead);
  EXPECT_EQ(read.report, "Error in input file: wrong number of predicting data\r\n");
}

TEST_P(PredictionSection, CountIsABlankDelimitedWord) {
  const ReadOutcome read = Read("Predict 1,5 a\n");
  EXPECT_FALSE(read.predictionRead);
  EXPECT_EQ(read.report, "Error in input file: wrong number of predicting data\r\n");
}

TEST_P(PredictionSection, EverythingBetweenTheRowsAndTheMarkerIsSkipped) {
  const ReadOutcome read = Read("3 c\n4, # unclosed comment\nPredict 1\n9 c\n");
  ASSERT_TRUE(read.predictionRead) << read.report;
  EXPECT_EQ(read.table.ObjectCount, 2);
  ASSERT_EQ(read.table.PredictCount, 1);
  EXPECT_EQ(read.table.PredictData[1][1], 9.0);
  EXPECT_EQ(read.table.PredictData[2][1], 3.0);  // c was not met in the skipped rows
}

TEST_P(PredictionSection, ZeroOrNegativeCountGivesNoRows) {
  for (const char* count : {"0", "-", "-3"}) {
    const ReadOutcome read = Read(std::string("Predict ") + count + "\n");
    ASSERT_TRUE(read.predictionRead) << count << read.report;
    EXPECT_EQ(read.table.PredictCount, 0) << count;
  }
}

TEST_P(PredictionSection, CodeTwentySixBeforeTheMarkerEndsTheSearch) {
  const ReadOutcome read = Read("\x1a\nPredict 1\n5 a\n");
  ASSERT_TRUE(read.predictionRead) << read.report;
  EXPECT_EQ(read.table.PredictCount, 0);
  EXPECT_EQ(read.report, "");
}

}  // namespace
}  // namespace tarvo
