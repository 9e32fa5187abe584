// DelimitedWriter: results as CSV or TSV lines.
#include "result_table.h"

std::string DelimitedField(const std::string& field, ResultFormat format) {
  if (format == ResultFormat::Tsv) {
    std::string out = field;
    for (char& c : out) {
      if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    return out;
  }
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string out = "\"";
  for (const char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

bool DelimitedWriter::WriteRow(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += format_ == ResultFormat::Csv ? ',' : '\t';
    line += DelimitedField(fields[i], format_);
  }
  // Lines end with LF, as the other output of a Unix tool; CSV readers take either line end.
  line += '\n';
  return std::fwrite(line.data(), 1, line.size(), out_) == line.size() && std::fflush(out_) == 0;
}
