// The columns a table file declares in its header, for choosing the predicted feature by name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tarvo/csv_table.h"

namespace tarvo {

struct TableColumn {
  std::string Name;  // as the run reads it: at most its first 20 characters
  bool Nominal = false;
};

// The columns of the table file, column 1 first. False when the header does not read; a run on
// the file then reports the fault.
bool ReadTableColumns(const std::string& path, std::vector<TableColumn>& columns);
// The same for a file in the given format; a CSV or TSV file gives its header's names in full,
// and every column counts as numeric (its kind shows only once the rows are read).
bool ReadTableColumns(const std::string& path, TableFormat format,
                      std::vector<TableColumn>& columns);

// The 1-based number of the column called `name`; 0 when no column has that name, -1 when more
// than one has.
int32_t FindTableColumn(const std::vector<TableColumn>& columns, std::string_view name);

}  // namespace tarvo
