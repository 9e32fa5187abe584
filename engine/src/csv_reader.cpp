// Reading CSV and TSV tables: records and quoting, then each column's kind and values.
#include <cctype>
#include <cerrno>
#include <fstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "input_table.h"
#include "system_error_text.h"
#include "tarvo/csv_table.h"
#include "tarvo/engine.h"
#include "tarvo/numbers.h"

namespace tarvo {

namespace {

constexpr int kEnd = -1;

// The bytes of a stream, read in blocks, with the line of the byte read last.
class CsvBytes {
 public:
  explicit CsvBytes(std::istream& in) : in_(in) {}

  int Get() {
    const int c = Peek();
    if (c == kEnd) return kEnd;
    ++position_;
    if (c == '\n' || (c == '\r' && Peek() != '\n')) ++line_;
    return c;
  }
  int Peek() {
    if (position_ == buffer_.size() && !Fill()) return kEnd;
    return static_cast<unsigned char>(buffer_[position_]);
  }
  // The line the next byte is on, 1-based.
  int64_t Line() const { return line_; }
  bool Failed() const { return in_.bad(); }

 private:
  bool Fill() {
    buffer_.resize(1 << 16);
    in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.resize(static_cast<size_t>(in_.gcount()));
    position_ = 0;
    return !buffer_.empty();
  }

  std::istream& in_;
  std::string buffer_;
  size_t position_ = 0;
  int64_t line_ = 1;
};

bool IsLineEnd(int c) {
  return c == '\n' || c == '\r';
}

// Splits the stream into records of fields, with the quoting of RFC 4180.
class CsvRecords {
 public:
  CsvRecords(std::istream& in, std::string name, char separator)
      : bytes_(in), name_(std::move(name)), separator_(separator) {}

  // Reads the next record that is not a blank line. False at the end of the stream, or on a
  // fault (then Fault() is not empty). A record may hold at most maxFields fields.
  bool Next(std::vector<std::string>& fields, size_t maxFields) {
    fields.clear();
    quoted_.clear();
    if (first_) {
      first_ = false;
      SkipByteOrderMark();
    }
    while (IsLineEnd(bytes_.Peek())) bytes_.Get();
    if (bytes_.Peek() == kEnd) {
      if (bytes_.Failed()) Fail(bytes_.Line(), 0, "the file cannot be read");
      return false;
    }
    line_ = bytes_.Line();
    for (;;) {
      if (fields.size() == maxFields) {
        return Fail(bytes_.Line(), fields.size() + 1,
                    "more fields than the " + std::to_string(maxFields) +
                        (maxFields == 1 ? " column " : " columns ") +
                        (maxFields == static_cast<size_t>(kMaxTableColumns) ? "a table may have"
                                                                            : "of the header"));
      }
      std::string& field = fields.emplace_back();
      quoted_.push_back(bytes_.Peek() == '"' && pending_.empty());
      const int ended =
          quoted_.back() ? ReadQuoted(field, fields.size()) : ReadPlain(field, fields.size());
      if (ended == kFault) return false;
      if (ended != separator_) return true;
    }
  }

  // The line on which the record read last begins.
  int64_t Line() const { return line_; }
  const std::string& Fault() const { return fault_; }
  // Whether field i of the last record was in quotes.
  bool Quoted(size_t i) const { return i < quoted_.size() && quoted_[i]; }
  bool Fail(int64_t line, size_t column, const std::string& text) {
    fault_ = "Error in input file " + name_ + ", line " + std::to_string(line);
    if (column > 0) fault_ += ", column " + std::to_string(column);
    fault_ += ": " + text;
    return false;
  }

 private:
  static constexpr int kFault = -2;

  void SkipByteOrderMark() {
    static const char kMark[] = "\xEF\xBB\xBF";
    if (bytes_.Peek() != 0xEF) return;
    // A lone 0xEF is a byte of the first field; only the whole mark is dropped.
    std::string seen;
    while (seen.size() < 3 && bytes_.Peek() == static_cast<unsigned char>(kMark[seen.size()])) {
      seen.push_back(static_cast<char>(bytes_.Get()));
    }
    if (seen.size() < 3) pending_ = seen;
  }

  // Appends c to the field; kFault when the field becomes too long or c is a zero byte.
  int Append(std::string& field, int c, size_t column) {
    if (c == 0) {
      Fail(bytes_.Line(), column, "a zero byte: this is not a text table");
      return kFault;
    }
    if (field.size() == kMaxCsvFieldBytes) {
      Fail(bytes_.Line(), column,
           "a field longer than " + std::to_string(kMaxCsvFieldBytes) + " bytes");
      return kFault;
    }
    field.push_back(static_cast<char>(c));
    return 0;
  }

  // The byte that ends the field: the separator, a line end or kEnd (the line end is consumed
  // with its LF); kFault on a fault.
  int EndOfField(int c) {
    if (c == '\r' && bytes_.Peek() == '\n') bytes_.Get();
    return c;
  }

  int ReadPlain(std::string& field, size_t column) {
    field = std::move(pending_);
    pending_.clear();
    for (;;) {
      const int c = bytes_.Get();
      if (c == separator_ || IsLineEnd(c) || c == kEnd) return EndOfField(c);
      if (c == '"') {
        Fail(bytes_.Line(), column, "a quote inside a field that does not begin with one");
        return kFault;
      }
      if (Append(field, c, column) == kFault) return kFault;
    }
  }

  int ReadQuoted(std::string& field, size_t column) {
    const int64_t opened = bytes_.Line();
    bytes_.Get();
    for (;;) {
      int c = bytes_.Get();
      if (c == kEnd) {
        Fail(opened, column, "the quoted field is not closed before the end of the file");
        return kFault;
      }
      if (c == '"') {
        if (bytes_.Peek() != '"') break;
        c = bytes_.Get();
      }
      if (Append(field, c, column) == kFault) return kFault;
    }
    const int c = bytes_.Get();
    if (c == separator_ || IsLineEnd(c) || c == kEnd) return EndOfField(c);
    Fail(bytes_.Line(), column, "text after the closing quote of a field");
    return kFault;
  }

  CsvBytes bytes_;
  std::string name_;
  int separator_;
  std::string fault_;
  std::string pending_;       // the bytes of an incomplete byte order mark, which begin the field
  std::vector<bool> quoted_;  // of each field of the last record
  int64_t line_ = 0;
  bool first_ = true;
};

bool IsBlankByte(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlankByte(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankByte(text.back())) text.remove_suffix(1);
  return text;
}

// Empty, or NA or ? written bare: in quotes, as a program writes texts, those two are texts.
bool IsMissingField(std::string_view field, bool quoted) {
  const std::string_view text = TrimBlanks(field);
  return text.empty() || (!quoted && (text == "NA" || text == "?"));
}

// One column as its rows arrive: its numbers while every value is one, and its distinct texts
// while there are few enough of them to make it a nominal column.
struct ColumnBuilder {
  std::string Name;
  bool ForcedNominal = false;
  bool Numeric = true;
  bool TooManyValues = false;
  int64_t TooManyValuesLine = 0;  // where the value past the limit was met
  bool SawNumber = false;
  // The first value that is no number, and the first number beyond the range of a double.
  int64_t FirstTextLine = 0, OutOfRangeLine = 0;
  std::string FirstText, OutOfRangeText;
  std::vector<double> Numbers;
  std::vector<double> Codes;
  std::vector<std::string> ValueNames;
  std::unordered_map<std::string, int32_t> CodeOf;

  void Add(const std::string& field, bool quoted, int64_t line) {
    const bool missing = IsMissingField(field, quoted);
    double number = kMissingValue;
    if (Numeric && !ForcedNominal && !missing) {
      switch (ClassifyCsvNumber(field, number)) {
        case CsvNumberKind::Number:
          SawNumber = true;
          break;
        case CsvNumberKind::OutOfRange:
          // Written as a number: a column of numbers does not turn into texts for it.
          if (OutOfRangeLine == 0) {
            OutOfRangeLine = line;
            OutOfRangeText = field;
          }
          number = kMissingValue;
          break;
        case CsvNumberKind::Text:
          Numeric = false;
          FirstTextLine = line;
          FirstText = field;
          std::vector<double>().swap(Numbers);
          break;
      }
    }
    if (Numeric && !ForcedNominal) Numbers.push_back(missing ? kMissingValue : number);
    if (TooManyValues) return;
    if (missing) {
      Codes.push_back(kMissingValue);
      return;
    }
    auto [entry, added] = CodeOf.try_emplace(field, static_cast<int32_t>(ValueNames.size()) + 1);
    if (added) ValueNames.push_back(field);
    Codes.push_back(entry->second);
    // Past the limit the texts are of no use: the column is numeric or the table is refused.
    if (ValueNames.size() > static_cast<size_t>(kMaxNominalValues)) {
      TooManyValues = true;
      TooManyValuesLine = line;
      std::vector<double>().swap(Codes);
      CodeOf.clear();
    }
  }

  Column Finish() {
    Column column;
    column.Name = std::move(Name);
    column.Nominal = ForcedNominal || !Numeric;
    column.Values = column.Nominal ? std::move(Codes) : std::move(Numbers);
    if (column.Nominal) column.ValueNames = std::move(ValueNames);
    return column;
  }
};

// A column's name as a message shows it: on one line (a quoted name may hold line ends), and
// only its first bytes, as the report shows names.
std::string NameInMessage(std::string_view name) {
  constexpr size_t kShownBytes = 20;
  std::string shown(name.substr(0, kShownBytes));
  for (char& c : shown) {
    if (IsLineEnd(static_cast<unsigned char>(c))) c = ' ';
  }
  return shown;
}

bool ReadHeader(CsvRecords& records, std::vector<std::string>& names, std::string& fault) {
  if (!records.Next(names, kMaxTableColumns)) {
    fault = records.Fault();
    if (fault.empty()) {
      records.Fail(1, 0, "the file is empty; a header row of column names is expected");
      fault = records.Fault();
    }
    return false;
  }
  for (size_t i = 0; i < names.size(); ++i) {
    if (TrimBlanks(names[i]).empty()) {
      records.Fail(records.Line(), i + 1, "a column without a name");
      fault = records.Fault();
      return false;
    }
  }
  return true;
}

}  // namespace

TableFormat TableFormatOfName(std::string_view fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return TableFormat::Described;
  std::string extension(fileName.substr(dot + 1));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == "csv") return TableFormat::Csv;
  if (extension == "tsv" || extension == "tab") return TableFormat::Tsv;
  return TableFormat::Described;
}

namespace {

// Whether text is a number as a CSV field writes one: an optional sign, digits with an optional
// decimal point (one digit at least), an optional exponent of optionally signed digits.
bool IsCsvNumberText(std::string_view text) {
  const auto digitsFrom = [&](size_t& i) {
    const size_t from = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    return i - from;
  };
  size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  size_t digits = digitsFrom(i);
  if (i < text.size() && text[i] == '.') digits += digitsFrom(++i);
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    if (digitsFrom(i) == 0) return false;
  }
  return i == text.size();
}

}  // namespace

CsvNumberKind ClassifyCsvNumber(std::string_view field, double& value) {
  const std::string_view text = TrimBlanks(field);
  if (!IsCsvNumberText(text)) return CsvNumberKind::Text;
  const bool plain = text.find_first_of("eE+") == std::string_view::npos;
  // Plain digits are summed as a table file's reader sums them, so that a table kept in both
  // forms grows the same trees.
  const bool read = plain ? !ParseNumber(std::string(text), value) : ParseRealToken(text, value);
  return read ? CsvNumberKind::Number : CsvNumberKind::OutOfRange;
}

bool ReadCsvNumber(std::string_view field, double& value) {
  return ClassifyCsvNumber(field, value) == CsvNumberKind::Number;
}

bool ReadCsvTable(std::istream& in, const std::string& name, const CsvOptions& options,
                  Table& table, std::string& fault) {
  table.Columns.clear();
  CsvRecords records(in, name, options.Separator);
  std::vector<std::string> names;
  if (!ReadHeader(records, names, fault)) return false;
  std::vector<ColumnBuilder> builders(names.size());
  for (size_t i = 0; i < names.size(); ++i) builders[i].Name = names[i];
  for (const std::string& wanted : options.NominalColumns) {
    const size_t column = FindCsvColumn(names, wanted);
    if (column == 0) {
      records.Fail(1, 0, "no column is named " + wanted + " (asked to be nominal)");
      fault = records.Fault();
      return false;
    }
    builders[column - 1].ForcedNominal = true;
  }

  std::vector<std::string> fields;
  int64_t rows = 0;
  while (records.Next(fields, names.size())) {
    if (fields.size() < names.size()) {
      records.Fail(records.Line(), fields.size() + 1,
                   "the row ends after " + std::to_string(fields.size()) +
                       (fields.size() == 1 ? " field" : " fields") + "; the header has " +
                       std::to_string(names.size()));
      fault = records.Fault();
      return false;
    }
    for (size_t i = 0; i < fields.size(); ++i)
      builders[i].Add(fields[i], records.Quoted(i), records.Line());
    ++rows;
    if (rows % 4096 == 0 && options.CancelRequested &&
        options.CancelRequested->load(std::memory_order_relaxed)) {
      throw RunCancelled();
    }
  }
  if (!records.Fault().empty()) {
    fault = records.Fault();
    return false;
  }
  if (rows == 0) {
    records.Fail(records.Line() + 1, 0, "no rows of objects below the header");
    fault = records.Fault();
    return false;
  }
  for (size_t i = 0; i < builders.size(); ++i) {
    ColumnBuilder& builder = builders[i];
    const auto at = [&](int64_t line) {
      return "Error in input file " + name + ", line " + std::to_string(line) + ", column " +
             std::to_string(i + 1) + " (" + NameInMessage(builder.Name) + "): ";
    };
    const bool numeric = builder.Numeric && !builder.ForcedNominal;
    if (numeric && builder.OutOfRangeLine != 0) {
      fault = at(builder.OutOfRangeLine) + "the number " + NameInMessage(builder.OutOfRangeText) +
              " is beyond the range of numbers";
      return false;
    }
    if (!numeric && builder.TooManyValues) {
      // A column of numbers with a stray text: that text is the fault, not the count.
      fault = !builder.ForcedNominal && builder.SawNumber
                  ? at(builder.FirstTextLine) + NameInMessage(builder.FirstText) +
                        " is not a number, and as texts the column has more than " +
                        std::to_string(kMaxNominalValues) + " values"
                  : at(builder.TooManyValuesLine) + "more than " +
                        std::to_string(kMaxNominalValues) + " values in a nominal column";
      return false;
    }
    table.Columns.push_back(builder.Finish());
  }
  return true;
}

bool ReadCsvTable(const std::string& path, const CsvOptions& options, Table& table,
                  std::string& fault) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    const int error = errno;
    fault = "Cannot open input file " + path + WithSystemReason(error);
    return false;
  }
  return ReadCsvTable(in, path, options, table, fault);
}

size_t FindCsvColumn(const std::vector<std::string>& names, const std::string& text) {
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == text) return i + 1;
  }
  int32_t number = 0;
  if (ParseIntegerToken(text, number) && number >= 1 && static_cast<size_t>(number) <= names.size())
    return static_cast<size_t>(number);
  return 0;
}

bool ReadCsvHeader(const std::string& path, char separator, std::vector<std::string>& names,
                   std::string& fault) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    const int error = errno;
    fault = "Cannot open input file " + path + WithSystemReason(error);
    return false;
  }
  CsvRecords records(in, path, separator);
  return ReadHeader(records, names, fault);
}

}  // namespace tarvo
