// A table's columns read from its header alone, with the run's own tokens and type checks.
#include "tarvo/table_columns.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_files.h"

namespace tarvo {
namespace {

using testing::TempFolder;
using testing::WriteBytes;

bool ReadColumns(const std::string& header, std::vector<TableColumn>& columns) {
  TempFolder folder;
  WriteBytes(folder.File("table.txt"), header);
  return ReadTableColumns(folder.File("table.txt"), columns);
}

// Comments, commas and long names read as a run reads them; rows need not be there at all.
TEST(TableColumns, NamesAndKindsAsARunReadsThem) {
  std::vector<TableColumn> columns;
  ASSERT_TRUE(ReadColumns("2 3 ? # counts #\n1, 0(2) 1\nx #a note# a_name_longer_than_twenty y\n",
                          columns));
  ASSERT_EQ(columns.size(), 3u);
  EXPECT_EQ(columns[0].Name, "x");
  EXPECT_EQ(columns[1].Name, "a_name_longer_than_t");
  EXPECT_TRUE(columns[1].Nominal);
  EXPECT_FALSE(columns[2].Nominal);
  EXPECT_EQ(FindTableColumn(columns, "y"), 3);
  EXPECT_EQ(FindTableColumn(columns, "z"), 0);
  EXPECT_EQ(FindTableColumn({{"a", false}, {"a", true}}, "a"), -1);
}

TEST(TableColumns, AHeaderWithAFaultGivesNoColumns) {
  std::vector<TableColumn> columns;
  // A count that is not a number, no columns, too many, a wrong type, a name line cut short.
  for (const char* header :
       {"x 2 ?\n", "2 0 ?\n", "2 60 ?\n", "2 2 ?\n1 2\na b\n", "2 2 ?\n1 1\na"}) {
    EXPECT_FALSE(ReadColumns(header, columns)) << header;
  }
  EXPECT_FALSE(ReadTableColumns("/nonexistent/table.txt", columns));
}

}  // namespace
}  // namespace tarvo
