// The layout of the generated prog.par.
#include "prog_par.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace tarvo::chisq {
namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

TEST(ProgPar, FourLinesOfFiftyThreeDecimalNumbers) {
  const std::string text = ProgParText();
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(text.find('\r'), std::string::npos);
  const auto lines = Split(text, '\n');
  ASSERT_EQ(lines.size(), 4u);
  for (const std::string& line : lines) {
    const auto numbers = Split(line, ' ');
    ASSERT_EQ(numbers.size(), 50u) << line;
    for (const std::string& number : numbers) {
      ASSERT_FALSE(number.empty()) << "double blank in: " << line;
      const size_t point = number.find('.');
      ASSERT_NE(point, std::string::npos) << number;
      EXPECT_EQ(number.size() - point - 1, 3u) << number;
      char* end = nullptr;
      EXPECT_GT(std::strtod(number.c_str(), &end), 0.0) << number;
      EXPECT_EQ(*end, '\0') << number;
    }
  }
}

TEST(ProgPar, LinesGoFromTheStrictestLevelAndDegreesSkipOddAbove30) {
  const std::vector<double> levels = {0.001, 0.005, 0.01, 0.05};
  EXPECT_EQ(ProgParLevels(), levels);
  const auto degrees = ProgParDegreesOfFreedom();
  ASSERT_EQ(degrees.size(), 50u);
  EXPECT_EQ(degrees[0], 1);
  EXPECT_EQ(degrees[29], 30);
  EXPECT_EQ(degrees[30], 32);
  EXPECT_EQ(degrees[49], 70);
  const auto lines = Split(ProgParText(), '\n');
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].substr(0, 7), "10.828 ");
  EXPECT_EQ(lines[1].substr(0, 6), "7.879 ");
  EXPECT_EQ(lines[2].substr(0, 6), "6.635 ");
  EXPECT_EQ(lines[3].substr(0, 12), "3.841 5.991 ");
}

}  // namespace
}  // namespace tarvo::chisq
