// A table in memory: the objects a run grows its trees from, column by column.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace tarvo {

// The value of an object that the table does not know.
inline constexpr double kMissingValue = std::numeric_limits<double>::quiet_NaN();

struct Column {
  std::string Name;  // in full; a report shows its first 20 bytes
  bool Nominal = false;
  // One entry per object. A numeric column holds finite numbers; a nominal column holds codes
  // 1..ValueNames.size() (as doubles). Either kind holds kMissingValue (NaN) where unknown.
  std::vector<double> Values;
  // Nominal columns: the name of code k at index k - 1. A name may be empty for a code that no
  // object takes (a value the table's author declared but did not use).
  std::vector<std::string> ValueNames;
};

struct Table {
  std::vector<Column> Columns;

  // The number of objects: the length of the first column (0 without columns).
  int32_t ObjectCount() const;

  // Adds a numeric column; NaN marks a missing value.
  Column& AddNumericColumn(std::string name, std::vector<double> values);
  // Adds a nominal column from the objects' value texts: codes in order of first appearance, a
  // text in `missing` (for instance "" or "?") marks a missing value.
  Column& AddNominalColumn(std::string name, const std::vector<std::string>& texts,
                           const std::vector<std::string>& missing = {""});
};

// How far a table in memory may go. A described table file keeps its own, smaller limits.
inline constexpr int32_t kMaxTableColumns = 255;   // the predicted column included
inline constexpr int32_t kMaxTableClasses = 12;    // values of a nominal predicted column
inline constexpr int32_t kMaxNominalValues = 255;  // values of any other nominal column

// What is wrong with a table for a run that predicts column `featureToPredict` (1-based), as one
// line for the user; empty when nothing is. The objects to predict, when given, must have the
// same columns (names, kinds and value names); their predicted column may be unknown.
std::string FindTableFault(const Table& table, int32_t featureToPredict,
                           const Table* toPredict = nullptr);

}  // namespace tarvo
