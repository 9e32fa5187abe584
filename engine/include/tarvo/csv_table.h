// Tables kept as CSV or TSV: a header row of names, then one row per object.
#pragma once

#include <atomic>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "tarvo/table.h"

namespace tarvo {

enum class TableFormat { Described, Csv, Tsv };

// The format a file's name tells: .csv is CSV, .tsv and .tab are TSV (in any case), anything
// else a described table file.
TableFormat TableFormatOfName(std::string_view fileName);
// The field separator of a CSV (comma) or TSV (tab) table.
constexpr char SeparatorOf(TableFormat format) {
  return format == TableFormat::Tsv ? '\t' : ',';
}

struct CsvOptions {
  char Separator = ',';
  // Columns read as nominal even when every value is a number: names, or 1-based numbers.
  std::vector<std::string> NominalColumns;
  // Set to true (from any thread) to stop reading: ReadCsvTable then throws RunCancelled
  // (tarvo/engine.h). A large table takes seconds to read.
  const std::atomic<bool>* CancelRequested = nullptr;
};

// The longest field a CSV table may hold; a longer one is taken for a file that is no table.
inline constexpr size_t kMaxCsvFieldBytes = size_t{1} << 20;

// Reads a table with quoting as RFC 4180 has it (fields in double quotes may hold separators,
// line ends and doubled quotes; lines end with CR LF, LF or CR). An empty field, NA or ? is a
// missing value; a column is numeric when every value present reads as a number, else nominal
// with its values in order of first appearance. Blank lines are skipped, and so is a UTF-8 byte
// order mark. False with one line in `fault`, naming the line and column, when the file cannot
// be read or is not such a table. `name` stands for the file in that message.
bool ReadCsvTable(std::istream& in, const std::string& name, const CsvOptions& options,
                  Table& table, std::string& fault);
bool ReadCsvTable(const std::string& path, const CsvOptions& options, Table& table,
                  std::string& fault);

// Only the names of the header row.
bool ReadCsvHeader(const std::string& path, char separator, std::vector<std::string>& names,
                   std::string& fault);

// The column that `text` names among a header's names: a name, else a number 1..size; 0 for none.
// This is how a nominal column asked for is found.
size_t FindCsvColumn(const std::vector<std::string>& names, const std::string& text);

// Whether a CSV field reads as a number, and its value: an optional sign, digits with an optional
// decimal point (one digit at least), an optional exponent; blanks around it are allowed. Without
// an exponent or a plus sign the value is the one a table file gives for the same digits.
bool ReadCsvNumber(std::string_view field, double& value);
// The same, telling a text that is no number from a number beyond the range of a double.
enum class CsvNumberKind { Number, Text, OutOfRange };
CsvNumberKind ClassifyCsvNumber(std::string_view field, double& value);

}  // namespace tarvo
