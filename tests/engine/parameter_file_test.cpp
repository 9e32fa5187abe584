// param.par: reading the seven values from any whitespace layout, and the one line written back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarvo/parameters.h"
#include "test_files.h"

namespace tarvo {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

void ExpectParameters(const RunParameters& p, double targetWeight, double recursiveComplexity,
                      double homogeneity, int32_t monteCarlo, int32_t variants, int32_t feature,
                      int32_t folds) {
  EXPECT_EQ(p.TargetWeight, targetWeight);
  EXPECT_EQ(p.RecursiveComplexity, recursiveComplexity);
  EXPECT_EQ(p.Homogeneity, homogeneity);
  EXPECT_EQ(p.MonteCarlo, monteCarlo);
  EXPECT_EQ(p.VariantsNumber, variants);
  EXPECT_EQ(p.FeatureToPredict, feature);
  EXPECT_EQ(p.FoldsCrossValidate, folds);
}

class ParameterFile : public ::testing::Test {
 protected:
  RunParameters ReadText(const std::string& text) {
    WriteBytes(path_, text);
    return ReadParameterFile(path_);
  }
  TempFolder folder_;
  std::string path_ = folder_.File("param.par");
};

TEST_F(ParameterFile, ReadsTheOneLineTheWindowWrites) {
  ExpectParameters(ReadText("1.000 1.000 0.050  100   1   1  10"), 1.0, 1.0, 0.05, 100, 1, 1, 10);
}

TEST_F(ParameterFile, ReadsAnyWhitespaceLayout) {
  ExpectParameters(ReadText("2.5\r\n1.5\r\n0.01\r\n50\r\n3\r\n4\r\n5\r\n"), 2.5, 1.5, 0.01, 50, 3,
                   4, 5);
  ExpectParameters(ReadText("\t2\t\t-1.25\n0.005 \v 7\f8\x01 9\x1f 10"), 2.0, -1.25, 0.005, 7, 8, 9,
                   10);
}

TEST_F(ParameterFile, MissingValuesAndAMissingFileReadAsZero) {
  ExpectParameters(ReadText("2 3 0.01 50 4"), 2.0, 3.0, 0.01, 50, 4, 0, 0);
  ExpectParameters(ReadText(""), 0.0, 0.0, 0.0, 0, 0, 0, 0);
  ExpectParameters(ReadParameterFile(folder_.File("no such file")), 0.0, 0.0, 0.0, 0, 0, 0, 0);
}

TEST_F(ParameterFile, ValuesThatDidNotReadAreWarnedOneLineEach) {
  std::vector<std::string> warnings;
  WriteBytes(path_, "1.0 abc 0.05 100 1.5 2");
  ExpectParameters(ReadParameterFile(path_, warnings), 1.0, 0.0, 0.05, 100, 0, 2, 0);
  EXPECT_EQ(warnings, (std::vector<std::string>{
                          path_ + ": RecursiveComplexity \"abc\" is not a number; it counts as 0",
                          path_ + ": VariantsNumber \"1.5\" is not a number; it counts as 0",
                          path_ + ": FoldsCrossValidate is missing; it counts as 0"}));
  // An empty file and a missing one are one problem each.
  warnings.clear();
  WriteBytes(path_, " \r\n");
  ReadParameterFile(path_, warnings);
  const std::string missing = folder_.File("none.par");
  ReadParameterFile(missing, warnings);
  EXPECT_EQ(warnings,
            (std::vector<std::string>{
                path_ + ": holds no values; every run parameter counts as 0",
                missing + ": cannot be read (No such file or directory); every run parameter "
                          "counts as 0"}));
  warnings.clear();
  WriteBytes(path_, "1.000 1.000 0.050  100   1   1  10");
  ReadParameterFile(path_, warnings);
  EXPECT_TRUE(warnings.empty());
}

TEST_F(ParameterFile, ABadTokenReadsZeroAndTheNextValuesStillRead) {
  ExpectParameters(ReadText("1.0 abc 0.05 100 1 2 10"), 1.0, 0.0, 0.05, 100, 1, 2, 10);
  // A token that converts only in part is as bad as any other.
  ExpectParameters(ReadText("12abc 1 0.05 1.5 3 2 1e1"), 0.0, 1.0, 0.05, 0, 3, 2, 0);
  // An integer beyond 32 bits does not convert.
  ExpectParameters(ReadText("1 1 0.05 2147483648 3 2 10"), 1.0, 1.0, 0.05, 0, 3, 2, 10);
}

TEST_F(ParameterFile, ALongTokenIsReadAsSeveralValues) {
  // 64 characters at most for a real: 64 zeros are one value, the "25" after them the next.
  const std::string zeros64(64, '0');
  ExpectParameters(ReadText(zeros64 + "25 0.05 100 1 2 10"), 0.0, 25.0, 0.05, 100, 1, 2, 10);
  // 32 characters at most for an integer.
  const std::string zeros32(32, '0');
  ExpectParameters(ReadText("1 1 0.05 " + zeros32 + "7 2 10"), 1.0, 1.0, 0.05, 0, 7, 2, 10);
}

TEST(FormatParameterLine, DefaultsGiveTheThirtyFourCharacterLine) {
  const std::string line = FormatParameterLine(RunParameters{});
  EXPECT_EQ(line, "1.000 1.000 0.050  100   1   1  10");
  EXPECT_EQ(line.size(), 34u);
}

TEST(FormatParameterLine, WideValuesAreNotCut) {
  const RunParameters p{123.4567, -2.0, 0.0005, 100000, -1, 59, 255};
  EXPECT_EQ(FormatParameterLine(p), "123.457 -2.000 0.001 100000  -1  59 255");
}

TEST_F(ParameterFile, WrittenLineHasNoLineEndAndReadsBack) {
  const RunParameters p{0.5, 2.0, 0.01, 250, 3, 4, 5};
  ASSERT_TRUE(WriteParameterFile(path_, p));
  EXPECT_EQ(ReadBytes(path_), "0.500 2.000 0.010  250   3   4   5");
  ExpectParameters(ReadParameterFile(path_), 0.5, 2.0, 0.01, 250, 3, 4, 5);
}

TEST_F(ParameterFile, AFileThatNeverEndsReadsAsZerosAtTheLimit) {
  std::vector<std::string> warnings;
  ExpectParameters(ReadParameterFile("/dev/zero", warnings), 0.0, 0.0, 0.0, 0, 0, 0, 0);
  EXPECT_EQ(warnings, (std::vector<std::string>{
                          "/dev/zero: is too long (more than 65536 bytes); every run parameter "
                          "counts as 0"}));
  // The limit is far above any real layout.
  ExpectParameters(ReadText(std::string(60000, ' ') + "1 2 0.01 50 4 5 6"), 1.0, 2.0, 0.01, 50, 4,
                   5, 6);
}

TEST_F(ParameterFile, WritingIntoAMissingFolderFails) {
  EXPECT_FALSE(WriteParameterFile(folder_.File("missing/param.par"), RunParameters{}));
}

}  // namespace
}  // namespace tarvo
