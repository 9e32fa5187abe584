// Every fault of the input table writes its one message to output.txt, byte for byte, and the run
// ends normally. Each table is tried as a CR LF file and as its LF twin.
#include <gtest/gtest.h>

#include <string>

#include "tarvo/engine.h"
#include "test_files.h"

namespace tarvo {
namespace {

using testing::EngineRunTest;
using testing::LineEnds;
using testing::WithLineEnds;

constexpr char kEndOfData[] = " Error in input file: unexpected end of data\r\n";

class InputMessages : public EngineRunTest, public ::testing::WithParamInterface<LineEnds> {
 protected:
  std::string RunText(const std::string& text, int32_t featureToPredict = 1) {
    RunParameters p;
    p.FeatureToPredict = featureToPredict;
    return Run(WithLineEnds(text, GetParam()), p);
  }
};

INSTANTIATE_TEST_SUITE_P(BothLineEnds, InputMessages,
                         ::testing::Values(LineEnds::CrLf, LineEnds::Lf), testing::LineEndsName);

TEST_F(EngineRunTest, MissingInputFile) {
  double w = 1, rc = 1, h = 0.05;
  int32_t mc = 100, v = 1, f = 1, k = 10;
  RunEngine(w, rc, h, mc, v, f, k, "no-such-table.txt");
  EXPECT_EQ(testing::ReadBytes(folder_.File("output.txt")),
            "No input file found.\r\nPlease, see TARVO.TXT file for more information.\r\n");
}

TEST_P(InputMessages, EndOfDataWhereverATokenIsExpected) {
  for (const char* table : {"", "3", "3 2", "3 2 ?", "3 2 ? 1", "3 2 ? 1 1 a",
                            "3 2 ? 1 1 a b\n1 2\n3 4\n5", "3 2 ? 1 1 a b\n1 2\n3 # 4\n5 6\n",
                            "3 2 ? 1 1 a b\n1 2\n3\x1a 4\n5 6\n", "3 2 ? 1 1 a b\n1 2\n\x1a"}) {
    EXPECT_EQ(RunText(table), kEndOfData) << table;
  }
}

TEST_P(InputMessages, CountsMustBeNumbers) {
  EXPECT_EQ(RunText("abc 2 ? 1 1 a b\n1 2\n"), " Error in input file: abc must be numeric\r\n");
  EXPECT_EQ(RunText("3 1e3 ? 1 1 a b\n1 2\n"), " Error in input file: 1e3 must be numeric\r\n");
  EXPECT_EQ(RunText("abcdefghijklmnopqrstuvwxyz 2 ?\n"),
            " Error in input file: abcdefghijklmnopqrst must be numeric\r\n");
}

TEST_P(InputMessages, HeaderLimitsEndWithoutLineEnd) {
  EXPECT_EQ(RunText("501 2 ? 1 1 a b\n"), " Error: too much objects");
  EXPECT_EQ(RunText("99999999999999999999 2 ?\n"), " Error: too much objects");
  EXPECT_EQ(RunText("2 60 ? 1 1 a b\n"), " Error: too much features");
  EXPECT_EQ(RunText("2 99999999999999999999 ?\n"), " Error: too much features");
  EXPECT_EQ(RunText("2 2 ? 1 1 a b\n", 3), " Error: wrong number of predicted feature");
  EXPECT_EQ(RunText("2 2 ? 1 1 a b\n", 0), " Error: wrong number of predicted feature");
  EXPECT_EQ(RunText("2 2 ? 1 1 a b\n", -1), " Error: wrong number of predicted feature");
  // The checks come in this order, before the types are read.
  EXPECT_EQ(RunText("501 60 ? bad\n", 99), " Error: too much objects");
  EXPECT_EQ(RunText("2 60 ? bad\n", 99), " Error: too much features");
  // 500.9 objects are 500: past the check, the rows then run out.
  EXPECT_EQ(RunText("500.9 1 ? 1 a\n1\n"), kEndOfData);
}

TEST_P(InputMessages, ObjectCountBelowOneIsRefused) {
  for (const char* table : {"0 2 ? 1 1 a b\n", "-3.5 2 ? 1 1 a b\n", ". 2 ? 1 1 a b\n",
                            "-99999999999999999999 2 ?\n"}) {
    EXPECT_EQ(RunText(table), " Error: number of objects below 1") << table;
  }
}

TEST_P(InputMessages, WrongFeatureTypes) {
  for (const char* type : {"2", "1x", "11", "0", "01", "0[3)", "0(3", "0()", "x", "(3)"}) {
    EXPECT_EQ(RunText(std::string("2 2 ? 1 ") + type + " a b\n1 a\n2 b\n"),
              "Error in input file: wrong feature types\r\n")
        << type;
  }
}

TEST_P(InputMessages, TooManyValuesDeclaredBeforeTheLastTwoColumns) {
  EXPECT_EQ(RunText("1 3 ? 0(13) 1 1 a b c\n"),
            "Error in input file: too much values for   1-th feature\r\n");
  EXPECT_EQ(RunText("1 4 ? 1 0(99) 1 1 a b c d\n"),
            "Error in input file: too much values for   2-th feature\r\n");
}

TEST_P(InputMessages, TooManyClassesInThePredictedColumn) {
  EXPECT_EQ(RunText("1 3 ? 1 1 0(13) a b c\n1 2 x\n", 3),
            "Error in input file: too much classes\r\n");
}

TEST_P(InputMessages, RowThatEndsEarly) {
  EXPECT_EQ(RunText("3 3 ? 1 1 1 a b c\n1 2 3\n4 5\n6 7 8\n"),
            " Error in input file: row   2 unexpected end of data\r\n");
}

TEST_P(InputMessages, NewTextWhenEveryValueIsTaken) {
  EXPECT_EQ(RunText("3 2 ? 1 0(2) x y\n1 a\n2 b\n3 c\n"),
            "Error in input file row   3 column   2 :too much values\r\n");
}

TEST_P(InputMessages, NumericColumnValueThatIsNoNumber) {
  EXPECT_EQ(RunText("2 3 ? 0(2) 1 1 x y z\na 1 1\nb 3.4.5 1\n"),
            "Error in input file row   2 column   2 :wrong value 3.4.5\r\n");
  EXPECT_EQ(RunText("1 2 ? 1 1 x y\n1 abcdefghijklmnopqrstuvwxyz\n"),
            "Error in input file row   1 column   2 :wrong value abcdefghijklmnopqrst\r\n");
}

TEST_P(InputMessages, PredictionCountFaults) {
  const std::string training = "2 2 ? 1 0(2) x y\n1 a\n2 b\n";
  EXPECT_EQ(RunText(training + "Predict x\n1 a\n"),
            "Error in input file: wrong number of predicting data\r\n");
  EXPECT_EQ(RunText(training + "Predict\n"),
            "Error in input file: wrong number of predicting data\r\n");
  EXPECT_EQ(RunText(training + "Predict 3, 1 a\n"),
            "Error in input file: wrong number of predicting data\r\n");
  EXPECT_EQ(RunText(training + "Predict 501\n1 a\n"), " Error: too much objects for prediction");
  EXPECT_EQ(RunText(training + "Predict 99999999999999999999\n1 a\n"),
            " Error: too much objects for prediction");
}

TEST_P(InputMessages, PredictionRowMessagesCarryThePrefix) {
  const std::string training = "2 3 ? 1 0(2) 1 x y z\n1 a 1\n2 b 2\n";
  EXPECT_EQ(RunText(training + "Predict 2\n1 a 1\nx b 2\n"),
            "Prediction: Error in input file row   2 column   1 :wrong value x\r\n");
  // The row message begins with a blank, so two blanks follow the colon.
  EXPECT_EQ(RunText(training + "Predict 2\n1 a\n3 b 3\n"),
            "Prediction:  Error in input file: row   1 unexpected end of data\r\n");
  EXPECT_EQ(RunText(training + "Predict 1\n1 c 1\n"),
            "Prediction: Error in input file row   1 column   2 :too much values\r\n");
  // An end of data met by the token reading itself has no prefix.
  EXPECT_EQ(RunText(training + "Predict 2\n1 a 1\n"), kEndOfData);
}

TEST_P(InputMessages, TrainingFaultIsReportedBeforeThePredictionSection) {
  EXPECT_EQ(RunText("2 2 ? 1 1 x y\n1 2\n3 z\nPredict x\n"),
            "Error in input file row   2 column   2 :wrong value z\r\n");
}

}  // namespace
}  // namespace tarvo
