// Rows of results for a person or a script: aligned text, CSV (RFC 4180) or tab-separated values.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

enum class ResultFormat { Text, Csv, Tsv };

// Writes the header and the rows of a table in CSV or TSV, one line each, flushed as each row is
// written, so that a reader sees a row as soon as it is known.
class DelimitedWriter {
 public:
  DelimitedWriter(std::FILE* out, ResultFormat format) : out_(out), format_(format) {}
  // False when the line could not be written.
  bool WriteRow(const std::vector<std::string>& fields);

 private:
  std::FILE* out_;
  ResultFormat format_;
};

// One field as it stands in a line of the format: CSV quotes a field holding a comma, a quote or a
// line end (doubling its quotes); TSV turns tabs and line ends into blanks.
std::string DelimitedField(const std::string& field, ResultFormat format);
