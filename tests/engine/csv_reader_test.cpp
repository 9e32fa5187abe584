// Reading CSV tables: quoting, missing values, the kind of each column, and one message naming
// the line and column for every kind of bad file.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <sstream>
#include <streambuf>
#include <string>

#include "tarvo/csv_table.h"
#include "tarvo/engine.h"

namespace tarvo {
namespace {

struct CsvOutcome {
  bool ok = false;
  Table table;
  std::string fault;
};

CsvOutcome ReadText(const std::string& text, CsvOptions options = {}) {
  std::istringstream in(text);
  CsvOutcome outcome;
  outcome.ok = ReadCsvTable(in, "t.csv", options, outcome.table, outcome.fault);
  return outcome;
}

std::string FaultOf(const std::string& text, char separator = ',') {
  CsvOptions options;
  options.Separator = separator;
  const CsvOutcome outcome = ReadText(text, options);
  EXPECT_FALSE(outcome.ok) << text;
  return outcome.fault;
}

TEST(CsvReader, QuotedFieldsHoldSeparatorsLineEndsAndDoubledQuotes) {
  const CsvOutcome read =
      ReadText("\xEF\xBB\xBFname,\"note, long\"\r\n\"a,b\",\"say \"\"hi\"\"\nthere\"\r\nc,\"\"\n");
  ASSERT_TRUE(read.ok) << read.fault;
  ASSERT_EQ(read.table.Columns.size(), 2u);
  EXPECT_EQ(read.table.Columns[0].Name, "name");  // the byte order mark is not part of it
  EXPECT_EQ(read.table.Columns[1].Name, "note, long");
  EXPECT_EQ(read.table.Columns[0].ValueNames, (std::vector<std::string>{"a,b", "c"}));
  EXPECT_EQ(read.table.Columns[1].ValueNames, (std::vector<std::string>{"say \"hi\"\nthere"}));
  EXPECT_TRUE(std::isnan(read.table.Columns[1].Values[1]));  // "" is missing
}

TEST(CsvReader, ColumnIsNumericWhenEveryPresentValueIsANumber) {
  const CsvOutcome read = ReadText(
      "x,k,y\n"
      "1.5,7,a\n"
      "NA,?,b\n"
      "\n"  // a blank line is skipped
      " -2e1 ,x,\n"
      "9999,7,a\n");
  ASSERT_TRUE(read.ok) << read.fault;
  const Column& x = read.table.Columns[0];
  EXPECT_FALSE(x.Nominal);
  ASSERT_EQ(x.Values.size(), 4u);
  EXPECT_EQ(x.Values[0], 1.5);
  EXPECT_TRUE(std::isnan(x.Values[1]));
  EXPECT_EQ(x.Values[2], -20.0);
  EXPECT_EQ(x.Values[3], 9999.0);  // a number like any other, not a missing value
  const Column& k = read.table.Columns[1];
  EXPECT_TRUE(k.Nominal);
  EXPECT_EQ(k.ValueNames, (std::vector<std::string>{"7", "x"}));
  EXPECT_EQ(k.Values[0], 1.0);
  EXPECT_TRUE(std::isnan(k.Values[1]));
  EXPECT_EQ(k.Values[3], 1.0);
  EXPECT_TRUE(std::isnan(read.table.Columns[2].Values[2]));
  // In quotes, NA and ? are texts (a country code, an answer), as programs write texts.
  const CsvOutcome quoted = ReadText("c,n\n\"NA\",\"\"\n\"?\",1\nNA,2\n");
  ASSERT_TRUE(quoted.ok) << quoted.fault;
  EXPECT_EQ(quoted.table.Columns[0].ValueNames, (std::vector<std::string>{"NA", "?"}));
  EXPECT_TRUE(std::isnan(quoted.table.Columns[0].Values[2]));
  EXPECT_TRUE(std::isnan(quoted.table.Columns[1].Values[0]));  // "" is empty all the same
}

TEST(CsvReader, NominalOptionTakesNamesAndNumbers) {
  CsvOptions options;
  options.NominalColumns = {"b", "1"};
  const CsvOutcome read = ReadText("a,b,c\n1,2,3\n4,5,6\n", options);
  ASSERT_TRUE(read.ok) << read.fault;
  EXPECT_TRUE(read.table.Columns[0].Nominal);
  EXPECT_TRUE(read.table.Columns[1].Nominal);
  EXPECT_FALSE(read.table.Columns[2].Nominal);
  options.NominalColumns = {"d"};
  EXPECT_EQ(ReadText("a,b,c\n1,2,3\n", options).fault,
            "Error in input file t.csv, line 1: no column is named d (asked to be nominal)");
}

TEST(CsvReader, NumbersReadAsTheTableFileReadsThem) {
  double value = 0.0;
  for (const char* text : {"", "-", ".", "1.2.3", "1e", "0x10", "inf", "nan", "1,5", "--1"}) {
    EXPECT_FALSE(ReadCsvNumber(text, value)) << text;
  }
  ASSERT_TRUE(ReadCsvNumber("1.51793", value));
  EXPECT_EQ(value, 1.0 + 5 * 0.1 + 1 * 0.01 + 7 * 0.001 + 9 * 0.0001 + 3 * 0.00001);
  ASSERT_TRUE(ReadCsvNumber("+2.5E-1", value));
  EXPECT_EQ(value, 0.25);
  ASSERT_TRUE(ReadCsvNumber(".5", value));
  EXPECT_EQ(value, 0.5);
}

TEST(CsvReader, BadFilesGetOneMessageNamingLineAndColumn) {
  const std::string at = "Error in input file t.csv, ";
  EXPECT_EQ(FaultOf(""),
            at + "line 1: the file is empty; a header row of column names is expected");
  EXPECT_EQ(FaultOf("\r\n\n"),
            at + "line 1: the file is empty; a header row of column names is expected");
  EXPECT_EQ(FaultOf("a,b\r\n"), at + "line 2: no rows of objects below the header");
  EXPECT_EQ(FaultOf("a,b\n1,2\n3\n"),
            at + "line 3, column 2: the row ends after 1 field; the header has 2");
  EXPECT_EQ(FaultOf("a,b\n1,2\n3,4,5\n"),
            at + "line 3, column 3: more fields than the 2 columns of the header");
  EXPECT_EQ(FaultOf("a\n1\n2,3\n"),
            at + "line 3, column 2: more fields than the 1 column of the header");
  EXPECT_EQ(FaultOf("a,b\n1,\"2\n3,4\n"),
            at + "line 2, column 2: the quoted field is not closed before the end of the file");
  EXPECT_EQ(FaultOf("a,b\n1,x\"y\n"),
            at + "line 2, column 2: a quote inside a field that does not begin with one");
  EXPECT_EQ(FaultOf("a,b\n\"1\"x,2\n"),
            at + "line 2, column 1: text after the closing quote of a field");
  EXPECT_EQ(FaultOf("a,,c\n1,2,3\n"), at + "line 1, column 2: a column without a name");
  EXPECT_EQ(FaultOf(std::string("a,b\n1,\x7F"
                                "ELF\0\0\1",
                                14)),
            at + "line 2, column 2: a zero byte: this is not a text table");
  EXPECT_EQ(FaultOf("a\tb\n1\t2\t3\n", '\t'),
            at + "line 2, column 3: more fields than the 2 columns of the header");
  std::string wide;
  for (int c = 1; c <= kMaxTableColumns + 1; ++c) wide += "c" + std::to_string(c) + ",";
  EXPECT_EQ(FaultOf(wide + "\n"),
            at + "line 1, column 256: more fields than the 255 columns a " + "table may have");
  std::string manyValues = "id,y\n";
  for (int o = 1; o <= kMaxNominalValues + 1; ++o) manyValues += "v" + std::to_string(o) + ",1\n";
  EXPECT_EQ(FaultOf(manyValues),
            at + "line 257, column 1 (id): more than 255 values in a nominal column");
  // A quoted name may hold line ends and be long; the message stays one line and shows what the
  // report would.
  manyValues.replace(0, 2, "\"first line\nof a long name\"");
  EXPECT_EQ(FaultOf(manyValues), at + "line 258, column 1 (first line of a long): more than 255 " +
                                     "values in a nominal column");
  // In a column of numbers, a number beyond a double's range is a fault, not a text; a stray
  // text among too many numbers is named where it stands.
  EXPECT_EQ(FaultOf("x,y\n1,a\n1e400,b\n2,a\n"),
            at + "line 3, column 1 (x): the number 1e400 is beyond the range of numbers");
  std::string numbers = "x\n";
  for (int o = 1; o <= kMaxNominalValues + 10; ++o) numbers += std::to_string(o) + "\n";
  EXPECT_EQ(FaultOf(numbers + "3.1.4\n"),
            at + "line " + std::to_string(kMaxNominalValues + 12) +
                ", column 1 (x): 3.1.4 is not a number, and as texts the column has more than " +
                "255 values");
  EXPECT_TRUE(ReadText("x\nlow\n1e400\n", CsvOptions()).ok);  // among texts it is a text
}

// A stream of `size` bytes: a header line, then one line of 'x' that never ends before `size`.
class EndlessLine : public std::streambuf {
 public:
  explicit EndlessLine(size_t size) : left_(size) {}

 protected:
  int_type underflow() override {
    if (left_ == 0) return traits_type::eof();
    const size_t n = std::min(left_, block_.size());
    if (!headerSent_) {
      headerSent_ = true;
      block_.assign(block_.size(), 'x');
      block_.replace(0, 4, "a,b\n");
    } else {
      block_.assign(block_.size(), 'x');
    }
    left_ -= n;
    sent_ += n;
    setg(block_.data(), block_.data(), block_.data() + n);
    return traits_type::to_int_type(block_[0]);
  }

 public:
  size_t sent_ = 0;

 private:
  size_t left_;
  bool headerSent_ = false;
  std::string block_ = std::string(1 << 16, 'x');
};

TEST(CsvReader, GigabyteLineStopsAtTheFieldLimitWithoutReadingIt) {
  EndlessLine source(size_t{1} << 30);
  std::istream in(&source);
  Table table;
  std::string fault;
  EXPECT_FALSE(ReadCsvTable(in, "big.csv", CsvOptions{}, table, fault));
  EXPECT_EQ(fault,
            "Error in input file big.csv, line 2, column 1: a field longer than 1048576 bytes");
  EXPECT_LT(source.sent_, size_t{4} << 20);
}

TEST(CsvReader, StopAskedEndsTheReadingOfALargeTable) {
  std::string text = "x,y\n";
  for (int row = 0; row < 10000; ++row) text += std::to_string(row) + ",a\n";
  std::atomic<bool> stop{true};
  CsvOptions options;
  options.CancelRequested = &stop;
  EXPECT_THROW(ReadText(text, options), RunCancelled);
  stop = false;
  EXPECT_TRUE(ReadText(text, options).ok);
}

TEST(CsvReader, FormatFollowsTheExtension) {
  EXPECT_EQ(TableFormatOfName("a/b.CSV"), TableFormat::Csv);
  EXPECT_EQ(TableFormatOfName("b.tsv"), TableFormat::Tsv);
  EXPECT_EQ(TableFormatOfName("b.tab"), TableFormat::Tsv);
  EXPECT_EQ(TableFormatOfName("b.txt"), TableFormat::Described);
  EXPECT_EQ(TableFormatOfName("csv"), TableFormat::Described);
}

}  // namespace
}  // namespace tarvo
