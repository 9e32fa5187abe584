// The chi-square table built from prog.par: the line of each level, the midpoints of the odd
// degrees of freedom, the approximation beyond the file, and the faults of the file.
#include "chi_square_table.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tarvo/engine.h"

namespace tarvo {
namespace {

namespace fs = std::filesystem;

// Value number i (1..50) of line `line` (1..4) in the files the tests write: every number in the
// file is distinct, so an entry tells which line and position it came from.
double Marker(int line, int i) {
  return line * 1000 + i;
}

std::string MarkerLine(int line, int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) {
    char number[32];
    std::snprintf(number, sizeof number, "%s%d.5", i > 1 ? " " : "", line * 1000 + i);
    text += number;
  }
  return text;
}

// Four lines of 50 markers (each marker plus 0.5) separated by `lineEnd`.
std::string MarkerFile(const std::string& lineEnd) {
  std::string text;
  for (int line = 1; line <= 4; ++line) text += MarkerLine(line, 50) + lineEnd;
  return text;
}

class ChiSquareTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    directory_ = fs::temp_directory_path() /
                 ("tarvo_chi_square_" + std::to_string(::getpid()) + "_" + info->name());
    fs::remove_all(directory_);
    fs::create_directories(directory_);
  }
  void TearDown() override { fs::remove_all(directory_); }

  std::string Write(const std::string& text) {
    const fs::path path = directory_ / "prog.par";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return path.string();
  }

  fs::path directory_;
};

// Entries 1..30 and the even degrees 32..70 hold the numbers of `line`, plus 0.5.
void ExpectLine(const std::vector<double>& table, int line, const std::string& what) {
  ASSERT_GE(table.size(), 71u) << what;
  for (int f = 1; f <= 30; ++f) EXPECT_EQ(table[f], Marker(line, f) + 0.5) << what << ", f " << f;
  for (int i = 1; i <= 20; ++i) {
    EXPECT_EQ(table[30 + 2 * i], Marker(line, 30 + i) + 0.5) << what << ", f " << 30 + 2 * i;
  }
}

TEST_F(ChiSquareTableTest, EachLevelReadsItsLine) {
  const std::string path = Write(MarkerFile("\n"));
  ExpectLine(BuildChiSquareTable(path, 1, 20), 1, "level 1");
  ExpectLine(BuildChiSquareTable(path, 10, 20), 3, "level 10");
  ExpectLine(BuildChiSquareTable(path, 50, 20), 4, "level 50");
  // Any other level reads line 1.
  for (const int level : {0, 2, 20, 100, -5}) {
    ExpectLine(BuildChiSquareTable(path, level, 20), 1, "level " + std::to_string(level));
  }
  // Level 5 reads only the first 30 numbers of line 2.
  const auto table = BuildChiSquareTable(path, 5, 20);
  ASSERT_EQ(table.size(), 71u);
  for (int f = 1; f <= 30; ++f) EXPECT_EQ(table[f], Marker(2, f) + 0.5) << f;
}

TEST_F(ChiSquareTableTest, OddDegreesAbove30AreMidpointsOfTheirNeighbours) {
  // Uneven steps, so that a midpoint taken from the wrong neighbours shows.
  std::string text;
  std::vector<double> even(71, 0.0);
  for (int f = 1; f <= 30; ++f) text += std::to_string(f * 2) + " ";
  even[30] = 60;
  for (int f = 32; f <= 70; f += 2) {
    even[f] = 60 + (f - 30) * (f - 30) * 0.25;
    text += std::to_string(even[f]) + " ";
  }
  // The same numbers on all four lines, so that every level reads them.
  const std::string path = Write(text + "\n" + text + "\n" + text + "\n" + text + "\n");
  for (const int level : {1, 10, 50, 7}) {
    const auto table = BuildChiSquareTable(path, level, 70);
    for (int f = 31; f <= 69; f += 2) {
      EXPECT_DOUBLE_EQ(table[f], (even[f - 1] + even[f + 1]) / 2)
          << "level " << level << ", f " << f;
    }
    EXPECT_EQ(table[70], even[70]);
  }
}

TEST(ApproximateChiSquare, MatchesHandComputedValues) {
  // 2f - 1 = 9 and 25: (3 + z)^2 / 2 and (5 + z)^2 / 2.
  EXPECT_DOUBLE_EQ(ApproximateChiSquare(5, 3.09), 18.54405);
  EXPECT_DOUBLE_EQ(ApproximateChiSquare(13, 1.64), 22.0448);
  EXPECT_DOUBLE_EQ(ApproximateChiSquare(1, 0.0), 0.5);
}

TEST_F(ChiSquareTableTest, EntriesBeyond70AreApproximatedUpToTheObjectCount) {
  const std::string path = Write(MarkerFile("\n"));
  struct Case {
    int level;
    double z;
  };
  // 3.09, 2.32 and 1.64 are the normal quantiles of lines 1, 3 and 4; other levels take 3.09.
  for (const Case c : {Case{1, 3.09}, Case{10, 2.32}, Case{50, 1.64}, Case{20, 3.09}}) {
    const auto table = BuildChiSquareTable(path, c.level, 75);
    ASSERT_EQ(table.size(), 76u) << c.level;
    EXPECT_EQ(table[70], Marker(c.level == 10 ? 3 : c.level == 50 ? 4 : 1, 50) + 0.5);
    for (int f = 71; f <= 75; ++f) {
      EXPECT_DOUBLE_EQ(table[f], 0.5 * std::pow(std::sqrt(2.0 * f - 1) + c.z, 2)) << c.level;
    }
  }
  // The largest table: 500 objects.
  const auto table = BuildChiSquareTable(path, 50, 500);
  ASSERT_EQ(table.size(), 501u);
  EXPECT_DOUBLE_EQ(table[500], ApproximateChiSquare(500, 1.64));
}

TEST_F(ChiSquareTableTest, Level5ApproximatesFrom31) {
  const std::string path = Write(MarkerFile("\n"));
  const auto table = BuildChiSquareTable(path, 5, 80);
  ASSERT_EQ(table.size(), 81u);
  EXPECT_EQ(table[30], Marker(2, 30) + 0.5);
  for (int f = 31; f <= 80; ++f) {
    EXPECT_DOUBLE_EQ(table[f], 0.5 * std::pow(std::sqrt(2.0 * f - 1) + 2.57, 2)) << f;
  }
}

TEST_F(ChiSquareTableTest, EntriesAboveTheObjectCountThatTheFileLacksStayZero) {
  const std::string path = Write(MarkerFile("\n"));
  // Level 5 with 40 objects: 31..40 approximated, 41..70 empty.
  auto table = BuildChiSquareTable(path, 5, 40);
  ASSERT_EQ(table.size(), 71u);
  EXPECT_GT(table[40], 0.0);
  for (int f = 41; f <= 70; ++f) EXPECT_EQ(table[f], 0.0) << f;
  // Level 5 with 12 objects: nothing beyond the file's 30 numbers.
  table = BuildChiSquareTable(path, 5, 12);
  EXPECT_EQ(table[30], Marker(2, 30) + 0.5);
  for (int f = 31; f <= 70; ++f) EXPECT_EQ(table[f], 0.0) << f;
  // Other levels with few objects still read all of the file's 70 degrees of freedom.
  table = BuildChiSquareTable(path, 1, 3);
  ASSERT_EQ(table.size(), 71u);
  EXPECT_EQ(table[70], Marker(1, 50) + 0.5);
  EXPECT_EQ(table[0], 0.0);
}

TEST_F(ChiSquareTableTest, NumbersMissingAtTheEndReadAsZero) {
  // Line 1 ends after 45 numbers (even degrees up to 60) and nothing follows.
  const std::string path = Write(MarkerLine(1, 45));
  const auto table = BuildChiSquareTable(path, 1, 70);
  EXPECT_EQ(table[60], Marker(1, 45) + 0.5);
  EXPECT_EQ(table[61], (Marker(1, 45) + 0.5) / 2);  // midpoint of 60 and a missing 0
  for (int f = 62; f <= 70; ++f) EXPECT_EQ(table[f], 0.0) << f;
  // A level whose line does not exist at all reads zeros throughout.
  const auto missingLine = BuildChiSquareTable(path, 50, 70);
  for (int f = 1; f <= 70; ++f) EXPECT_EQ(missingLine[f], 0.0) << f;
  const auto empty = BuildChiSquareTable(Write(""), 10, 70);
  for (int f = 1; f <= 70; ++f) EXPECT_EQ(empty[f], 0.0) << f;
}

TEST_F(ChiSquareTableTest, ShortOrZeroLinesAreWarnedAboutNamingTheLevel) {
  std::vector<std::string> warnings;
  BuildChiSquareTable(Write(MarkerLine(1, 45)), 1, 70, &warnings);
  EXPECT_EQ(warnings, std::vector<std::string>{directory_.string() +
                                               "/prog.par: line 1 (level 0.001) holds 45 of its "
                                               "50 numbers; the missing ones count as 0"});
  warnings.clear();
  std::string zeros = "0";
  for (int i = 2; i <= 50; ++i) zeros += " 0.0";
  BuildChiSquareTable(Write("1\n" + zeros + "\n1\n"), 5, 70, &warnings);
  EXPECT_EQ(warnings,
            std::vector<std::string>{directory_.string() +
                                     "/prog.par: every number of line 2 (level 0.005) is 0"});
  // Level 0.005 needs 30 numbers only; a complete line gives no warning.
  warnings.clear();
  BuildChiSquareTable(Write("1\n" + MarkerLine(2, 30) + "\n"), 5, 70, &warnings);
  BuildChiSquareTable(Write(MarkerFile("\n")), 50, 70, &warnings);
  EXPECT_TRUE(warnings.empty());
}

TEST_F(ChiSquareTableTest, MissingFileIsFileNotFound) {
  const std::string path = (directory_ / "absent" / "prog.par").string();
  try {
    BuildChiSquareTable(path, 50, 10);
    FAIL() << "no error for a missing file";
  } catch (const EngineError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("File not found", 0), 0u) << error.what();
  }
}

TEST_F(ChiSquareTableTest, TokenThatIsNotANumberIsInvalidNumericInput) {
  // The bad token is number 10 of line 2 (read by level 5) and number 45 of line 1 (read by
  // level 1 among the even degrees of freedom).
  for (const char* bad : {"abc", "1.2.3", "7,5", "1e", "-", "."}) {
    const std::string line1 = MarkerLine(1, 44) + " " + bad + " " + MarkerLine(1, 5);
    const std::string line2 = MarkerLine(2, 9) + " " + bad + " " + MarkerLine(2, 40);
    const std::string path = Write(line1 + "\n" + line2 + "\n");
    for (const int level : {5, 1}) {
      try {
        BuildChiSquareTable(path, level, 10);
        ADD_FAILURE() << "no error for " << bad << " at level " << level;
      } catch (const EngineError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("Invalid numeric input", 0), 0u) << error.what();
      }
    }
  }
}

TEST_F(ChiSquareTableTest, BadTokensOutsideTheReadNumbersAreNotRead) {
  // Garbage on the skipped lines and after the last number read is never converted.
  std::string text = "x y z\nnot numbers\n" + MarkerLine(3, 50) + " tail\n" + MarkerLine(4, 50);
  const std::string path = Write(text);
  ExpectLine(BuildChiSquareTable(path, 10, 10), 3, "level 10");
  ExpectLine(BuildChiSquareTable(path, 50, 10), 4, "level 50");
  // Level 5 stops after 30 numbers of line 2; what follows them is not read.
  const auto level5 = BuildChiSquareTable(Write("1\n" + MarkerLine(2, 30) + " junk\n"), 5, 10);
  EXPECT_EQ(level5[30], Marker(2, 30) + 0.5);
}

TEST_F(ChiSquareTableTest, LinesEndAtLfCrLfOrLoneCr) {
  for (const std::string lineEnd : {"\n", "\r\n", "\r"}) {
    const std::string path = Write(MarkerFile(lineEnd));
    // A CR LF is one line end: level 10 must land on line 3, not line 2 or 4.
    ExpectLine(BuildChiSquareTable(path, 1, 10), 1, "level 1");
    ExpectLine(BuildChiSquareTable(path, 10, 10), 3, "level 10");
    ExpectLine(BuildChiSquareTable(path, 50, 10), 4, "level 50");
    const auto level5 = BuildChiSquareTable(path, 5, 10);
    EXPECT_EQ(level5[1], Marker(2, 1) + 0.5);
    EXPECT_EQ(level5[30], Marker(2, 30) + 0.5);
  }
  // Mixed line ends; tabs, vertical tabs and form feeds between numbers only separate them.
  const std::string mixed = MarkerLine(1, 50) + "\r" + MarkerLine(2, 50) + "\r\n" +
                            MarkerLine(3, 50) + "\n" + MarkerLine(4, 20) + "\t\v\f" +
                            MarkerLine(4, 50).substr(MarkerLine(4, 20).size());
  const std::string path = Write(mixed);
  ExpectLine(BuildChiSquareTable(path, 10, 10), 3, "mixed, level 10");
  ExpectLine(BuildChiSquareTable(path, 50, 10), 4, "mixed, level 50");
}

TEST(ChiSquareTableFile, ProjectFileHoldsThePublishedValues) {
  // Well-known entries of the printed tables, and the midpoint between two of them.
  const auto level50 = BuildChiSquareTable(TARVO_PROG_PAR, 50, 10);
  EXPECT_DOUBLE_EQ(level50[1], 3.841);
  EXPECT_DOUBLE_EQ(level50[2], 5.991);
  EXPECT_DOUBLE_EQ(level50[10], 18.307);
  EXPECT_DOUBLE_EQ(level50[31], (43.773 + 46.194) / 2);
  EXPECT_DOUBLE_EQ(level50[70], 90.531);
  const auto level10 = BuildChiSquareTable(TARVO_PROG_PAR, 10, 10);
  EXPECT_DOUBLE_EQ(level10[1], 6.635);
  EXPECT_DOUBLE_EQ(level10[70], 100.425);
  const auto level5 = BuildChiSquareTable(TARVO_PROG_PAR, 5, 10);
  EXPECT_DOUBLE_EQ(level5[1], 7.879);
  EXPECT_DOUBLE_EQ(level5[30], 53.672);
  const auto level1 = BuildChiSquareTable(TARVO_PROG_PAR, 1, 10);
  EXPECT_DOUBLE_EQ(level1[1], 10.828);
  EXPECT_DOUBLE_EQ(level1[70], 112.317);
  // Critical values grow with the degrees of freedom on every line.
  for (const auto* table : {&level50, &level10, &level5, &level1}) {
    const int last = table == &level5 ? 30 : 70;
    for (int f = 2; f <= last; ++f) EXPECT_LT((*table)[f - 1], (*table)[f]) << f;
  }
}

}  // namespace
}  // namespace tarvo
