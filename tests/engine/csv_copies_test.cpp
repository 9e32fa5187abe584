// A table kept as CSV grows the report its table file grows, byte for byte: the six real tables
// of tests/data/tables, each rewritten as CSV from its own tokens.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tarvo/engine.h"
#include "test_files.h"

namespace tarvo {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

struct RealTable {
  const char* name;
  int32_t target;
};

// The CSV twin of a table file without comments or prediction section: the names as its header,
// the rows' tokens as they stand (the missing token "?" is also missing in CSV), and the names
// of its nominal columns, which must stay nominal even where their values look like numbers.
std::string CsvOfTableFile(const std::string& text, std::vector<std::string>& nominal) {
  std::istringstream in(text);
  int32_t objects = 0, columns = 0;
  std::string missing;
  in >> objects >> columns >> missing;
  EXPECT_EQ(missing, "?");
  std::vector<std::string> types(columns), names(columns);
  for (std::string& type : types) in >> type;
  for (std::string& name : names) in >> name;
  std::string csv;
  for (int32_t c = 0; c < columns; ++c) {
    csv += (c ? "," : "") + names[c];
    if (types[c] != "1") nominal.push_back(names[c]);
  }
  csv += "\r\n";
  std::string token;
  for (int32_t o = 0; o < objects; ++o) {
    for (int32_t c = 0; c < columns; ++c) {
      EXPECT_TRUE(in >> token);
      csv += (c ? "," : "") + token;
    }
    csv += "\n";
  }
  return csv;
}

std::string RunIn(const TempFolder& folder, const RunOptions& base, int32_t target,
                  double lookAhead) {
  RunOptions options = base;
  options.ChiSquareFileName = TARVO_PROG_PAR;
  RunParameters p;
  p.FeatureToPredict = target;
  p.RecursiveComplexity = lookAhead;
  // Both runs name their table table.txt, so that the reports' "input file:" lines agree too.
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  const RunResult result = RunEngine(p, "table.txt", options);
  std::filesystem::current_path(previous);
  EXPECT_FALSE(result.TableFault) << result.FaultMessage;
  return ReadBytes(folder.File("output.txt"));
}

class CsvCopy : public ::testing::TestWithParam<RealTable> {};

TEST_P(CsvCopy, GrowsTheReportOfItsTableFile) {
  const std::string text =
      ReadBytes(std::string(TARVO_TEST_DATA_DIR) + "/tables/" + GetParam().name + ".txt");
  ASSERT_FALSE(text.empty());
  TempFolder described, csv;
  WriteBytes(described.File("table.txt"), text);
  RunOptions csvOptions;
  csvOptions.InputFormat = TableFormat::Csv;
  WriteBytes(csv.File("table.txt"), CsvOfTableFile(text, csvOptions.Csv.NominalColumns));
  const std::string expected = RunIn(described, RunOptions{}, GetParam().target, 1.0);
  EXPECT_GT(expected.size(), 1000u);
  // Compared as a whole, without printing two reports of thousands of lines when they differ.
  EXPECT_TRUE(RunIn(csv, csvOptions, GetParam().target, 1.0) == expected);
}

INSTANTIATE_TEST_SUITE_P(RealTables, CsvCopy,
                         ::testing::Values(RealTable{"iris", 5}, RealTable{"wine", 14},
                                           RealTable{"wdbc", 31}, RealTable{"glass", 10},
                                           RealTable{"diabetes", 11}, RealTable{"cpu", 7}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvo
