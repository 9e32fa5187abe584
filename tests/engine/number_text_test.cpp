// Fixed-width number text and the token grammar of the whitespace-separated number files.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "tarvo/numbers.h"

namespace tarvo {
namespace {

TEST(FormatReal, PadsOnTheLeftAndNeverCuts) {
  EXPECT_EQ(FormatReal(1.0, 5, 3), "1.000");
  EXPECT_EQ(FormatReal(12.5, 5, 3), "12.500");
  EXPECT_EQ(FormatReal(3.14159, 8, 2), "    3.14");
  EXPECT_EQ(FormatReal(-2.5, 7, 1), "   -2.5");
  EXPECT_EQ(FormatReal(7.0, 0, 0), "7");
  EXPECT_EQ(FormatReal(-1234.5678, 3, 2), "-1234.57");
}

TEST(FormatReal, RoundsTheExactBinaryValueWithTiesToEven) {
  // 0.125, 0.375, 0.5, 1.5 and 2.5 are exact in binary, so they are true ties.
  EXPECT_EQ(FormatReal(0.125, 0, 2), "0.12");
  EXPECT_EQ(FormatReal(0.375, 0, 2), "0.38");
  EXPECT_EQ(FormatReal(0.5, 0, 0), "0");
  EXPECT_EQ(FormatReal(1.5, 0, 0), "2");
  EXPECT_EQ(FormatReal(2.5, 0, 0), "2");
  EXPECT_EQ(FormatReal(-0.125, 0, 2), "-0.12");
  // These look like ties in decimal but are not in binary.
  EXPECT_EQ(FormatReal(2.675, 0, 2), "2.67");    // 2.67499999...
  EXPECT_EQ(FormatReal(1.005, 0, 2), "1.00");    // 1.00499999...
  EXPECT_EQ(FormatReal(0.35, 0, 1), "0.3");      // 0.34999999...
  EXPECT_EQ(FormatReal(-0.005, 0, 2), "-0.01");  // -0.00500000000000000010...
}

TEST(FormatReal, ZeroHasNoMinusButANegativeRoundedToZeroKeepsIt) {
  EXPECT_EQ(FormatReal(-0.0, 0, 2), "0.00");
  EXPECT_EQ(FormatReal(-0.0, 6, 2), "  0.00");
  EXPECT_EQ(FormatReal(0.0, 0, 0), "0");
  EXPECT_EQ(FormatReal(-0.001, 0, 2), "-0.00");
  EXPECT_EQ(FormatReal(-0.001, 6, 2), " -0.00");
  EXPECT_EQ(FormatReal(-0.4, 0, 0), "-0");
}

TEST(FormatReal, HugeValuesAreWrittenWhole) {
  EXPECT_EQ(FormatReal(1e17, 6, 3), "100000000000000000.000");
  EXPECT_EQ(FormatReal(-1e17, 0, 3), "-100000000000000000.000");
  // 2^70 is exact: every digit is printed, not an approximation.
  EXPECT_EQ(FormatReal(1180591620717411303424.0, 0, 1), "1180591620717411303424.0");
  const std::string largest = FormatReal(DBL_MAX, 0, 2);
  EXPECT_EQ(largest.size(), 309u + 3u);
  EXPECT_EQ(largest.substr(0, 6), "179769");
  EXPECT_EQ(largest.substr(largest.size() - 3), ".00");
}

TEST(FormatInteger, PadsOnTheLeftAndNeverCuts) {
  EXPECT_EQ(FormatInteger(5, 3), "  5");
  EXPECT_EQ(FormatInteger(-12, 3), "-12");
  EXPECT_EQ(FormatInteger(-123, 3), "-123");
  EXPECT_EQ(FormatInteger(1234, 3), "1234");
  EXPECT_EQ(FormatInteger(0, 0), "0");
  EXPECT_EQ(FormatInteger(std::numeric_limits<int64_t>::min(), 4), "-9223372036854775808");
}

TEST(ParseRealToken, AcceptsSignDigitsPointAndExponent) {
  const struct {
    const char* token;
    double value;
  } cases[] = {
      {"0", 0.0},
      {"42", 42.0},
      {".5", 0.5},
      {"5.", 5.0},
      {"-3.25", -3.25},
      {"+2", 2.0},
      {"1e3", 1000.0},
      {"1E3", 1000.0},
      {"2.5e-2", 0.025},
      {"-.5E+1", -5.0},
      {"0.050", 0.05},
      {"007", 7.0},
      {"1e-400", 0.0},
      {"3.841", 3.841},
      {"123456789012345678901234567890", 123456789012345678901234567890.0},
  };
  for (const auto& c : cases) {
    double value = -99.0;
    EXPECT_TRUE(ParseRealToken(c.token, value)) << c.token;
    EXPECT_EQ(value, c.value) << c.token;
  }
}

TEST(ParseRealToken, RefusesIncompleteTokens) {
  for (const char* token :
       {"",    "-",   "+",  ".",  "-.", "e5",  ".e5",   "1e",   "1e+", "1e-", "1.2.3", "1,5",
        "--1", "+-1", "1-", " 1", "1 ", "abc", "12abc", "0x10", "inf", "nan", "1e3.5", "1d3"}) {
    double value = 0.0;
    EXPECT_FALSE(ParseRealToken(token, value)) << '"' << token << '"';
  }
}

TEST(ParseRealToken, OverflowIsNoNumberAndUnderflowReadsZero) {
  double value = 1.0;
  EXPECT_FALSE(ParseRealToken("1e400", value));
  EXPECT_FALSE(ParseRealToken("-1e400", value));
  EXPECT_FALSE(ParseRealToken("1e99999999999999999999", value));
  EXPECT_FALSE(ParseRealToken("0.0000001e316", value));  // 1e309
  EXPECT_TRUE(ParseRealToken("0.0000001e314", value));   // 1e307 fits
  EXPECT_EQ(value, 1e307);

  value = 1.0;
  EXPECT_TRUE(ParseRealToken("1e-400", value));
  EXPECT_EQ(value, 0.0);
  value = 1.0;
  EXPECT_TRUE(ParseRealToken("-1e-99999999999999999999", value));
  EXPECT_EQ(value, 0.0);
  value = 1.0;
  EXPECT_TRUE(ParseRealToken("1000000e-400", value));  // 1e-394 still underflows
  EXPECT_EQ(value, 0.0);
  // Zero digits with any exponent are zero, not an overflow.
  EXPECT_TRUE(ParseRealToken("0.000e999", value));
  EXPECT_EQ(value, 0.0);
}

TEST(ParseIntegerToken, AcceptsSignedDecimalsWithin32Bits) {
  const struct {
    const char* token;
    int32_t value;
  } cases[] = {{"0", 0},
               {"100", 100},
               {"+7", 7},
               {"-12", -12},
               {"0010", 10},
               {"2147483647", 2147483647},
               {"-2147483648", std::numeric_limits<int32_t>::min()},
               {"00000000000000000000000000000005", 5}};
  for (const auto& c : cases) {
    int32_t value = -99;
    EXPECT_TRUE(ParseIntegerToken(c.token, value)) << c.token;
    EXPECT_EQ(value, c.value) << c.token;
  }
}

TEST(ParseIntegerToken, RefusesOtherTokensAndValuesBeyond32Bits) {
  for (const char* token : {"", "-", "+", "2147483648", "-2147483649", "99999999999999999999",
                            "1.0", "1.", ".5", "1e3", "12a", "--1", " 1", "1 "}) {
    int32_t value = 0;
    EXPECT_FALSE(ParseIntegerToken(token, value)) << '"' << token << '"';
  }
}

}  // namespace
}  // namespace tarvo
