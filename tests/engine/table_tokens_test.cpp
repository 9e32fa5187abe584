// Value tokens, comments, number tokens and blank-delimited words of the table file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input_table.h"
#include "read_table.h"

namespace tarvo {
namespace {

using testing::ReaderAfterRows;

struct Token {
  std::string text;
  bool lineEnded;
  bool operator==(const Token&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Token& t) {
  return os << '"' << t.text << '"' << (t.lineEnded ? " +line end" : "");
}

// Reads `count` tokens from the text that follows a minimal training part.
std::vector<Token> Tokens(const std::string& text, int count) {
  ReaderAfterRows after(text);
  std::vector<Token> tokens;
  for (int i = 0; i < count; ++i) {
    Token t;
    EXPECT_TRUE(after.reader().ReadToken(t.lineEnded, t.text)) << "token " << i + 1;
    tokens.push_back(t);
  }
  return tokens;
}

TEST(ParseNumber, DigitsMinusFirstAndLastPointOnly) {
  const struct {
    const char* token;
    double value;
  } valid[] = {{"3.5", 3.5}, {"-.5", -0.5}, {"12.", 12.0}, {"-", 0.0},
               {".", 0.0},   {"007", 7.0},  {"0", 0.0},    {"-12.25", -12.25}};
  for (const auto& c : valid) {
    double value = -99.0;
    EXPECT_FALSE(ParseNumber(c.token, value)) << c.token;
    EXPECT_EQ(value, c.value) << c.token;
  }
  for (const char* token : {"1e3", "+2", "3.4.5", "1..5", "--1", "1-", "-1-", "12a", "1,5", "x"}) {
    double value = 0.0;
    EXPECT_TRUE(ParseNumber(token, value)) << token;
  }
}

TEST(ParseNumber, AddsDigitTermsInsteadOfRoundingTheDecimal) {
  // "0.3" is 3 * (1 / 10), which is one unit in the last place above the double nearest 0.3.
  double value = 0.0;
  ASSERT_FALSE(ParseNumber("0.3", value));
  EXPECT_EQ(value, 3 * (1.0 / 10.0));
  EXPECT_NE(value, 0.3);
  // 10^-6 is made by six divisions, which differs from the double nearest 1e-6.
  ASSERT_FALSE(ParseNumber("0.000001", value));
  EXPECT_EQ(value, PowerOfTen(-6));
  EXPECT_NE(value, 1e-6);
}

TEST(PowerOfTen, RepeatedMultiplicationOrDivision) {
  EXPECT_EQ(PowerOfTen(0), 1.0);
  EXPECT_EQ(PowerOfTen(3), 1000.0);
  EXPECT_EQ(PowerOfTen(22), 1e22);
  EXPECT_EQ(PowerOfTen(-1), 1.0 / 10.0);
  EXPECT_EQ(PowerOfTen(-6), 1.0 / 10.0 / 10.0 / 10.0 / 10.0 / 10.0 / 10.0);
}

TEST(ReadToken, SeparatorsAreBlanksCommasAndNumberSigns) {
  const std::vector<Token> expected = {{"3.5", false}, {"-.5", false},    {"1", false},
                                       {"5", false},   {"x\x01y", false}, {"12", false},
                                       {"7", true}};
  EXPECT_EQ(Tokens("3.5\t-.5 ,, 1,5 x\x01y\v\f12#note#7\r\n", 7), expected);
}

TEST(ReadToken, CommentsSpanLinesAndLieBetweenAnyTokens) {
  const std::vector<Token> expected = {{"a", false}, {"b", false}, {"c", true}, {"d", false}};
  EXPECT_EQ(Tokens("a # one\r\nline, two #b#\r\n\r\n#c\r\n#x# d", 4), expected);
}

TEST(ReadToken, KeepsTheFirstTwentyCharacters) {
  const std::vector<Token> expected = {{"abcdefghijklmnopqrst", false}, {"x", true}};
  EXPECT_EQ(Tokens("abcdefghijklmnopqrstuvwxyz x\r\n", 2), expected);
}

TEST(ReadToken, LineEndedOnlyWhenTheLineEndFollowsTheToken) {
  const std::vector<Token> expected = {{"1", true}, {"2", false}, {"3", false},
                                       {"4", true}, {"5", false}, {"6", true}};
  // A line feed alone ends a line as a carriage return does.
  EXPECT_EQ(Tokens("1\r\n2 \r\n3#c#\r\n4\n5,\n6\r", 6), expected);
}

TEST(ReadToken, EndOfDataIsAFault) {
  ReaderAfterRows after("5 # open comment");
  bool lineEnded = false;
  std::string token;
  ASSERT_TRUE(after.reader().ReadToken(lineEnded, token));
  EXPECT_FALSE(after.reader().ReadToken(lineEnded, token));
  EXPECT_EQ(after.Report(), " Error in input file: unexpected end of data\r\n");
}

TEST(ReadToken, CodeTwentySixEndsTheDataForGood) {
  ReaderAfterRows after("5\x1a 6 7\r\n");
  bool lineEnded = true;
  std::string token;
  ASSERT_TRUE(after.reader().ReadToken(lineEnded, token));
  EXPECT_EQ(token, "5");
  EXPECT_FALSE(lineEnded);
  EXPECT_FALSE(after.reader().ReadToken(lineEnded, token));  // 6 and 7 are never read
  std::string word;
  bool atEnd = false;
  after.reader().ReadWord(word, lineEnded, atEnd);
  EXPECT_EQ(word, "\x1a");
  EXPECT_TRUE(atEnd);
}

TEST(ReadToken, NumberSignEndingATokenOpensAComment) {
  ReaderAfterRows after("12#note");
  bool lineEnded = false;
  std::string token;
  ASSERT_TRUE(after.reader().ReadToken(lineEnded, token));
  EXPECT_EQ(token, "12");
  EXPECT_TRUE(after.reader().InComment());
}

struct Word {
  std::string text;
  bool lineEnded;
  bool atEnd;
  bool operator==(const Word&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Word& w) {
  return os << '"' << w.text << '"' << (w.lineEnded ? " +line end" : "")
            << (w.atEnd ? " +at end" : "");
}

TEST(ReadWord, OnlyBlanksSeparateWords) {
  ReaderAfterRows after(" \t#x#,1 Predict: 3,\r\nabcdefghijklmnopqrstuvwxyz\nlast");
  const std::vector<Word> expected = {
      {"#x#,1", false, false}, {"Predict:", false, false},
      {"3,", true, false},     {"abcdefghijklmnopqrst", true, false},
      {"last", true, true},    {"\x1a", true, true}};
  std::vector<Word> words;
  for (size_t i = 0; i < expected.size(); ++i) {
    Word w;
    after.reader().ReadWord(w.text, w.lineEnded, w.atEnd);
    words.push_back(w);
  }
  EXPECT_EQ(words, expected);
}

}  // namespace
}  // namespace tarvo
