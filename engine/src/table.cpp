// Tables in memory: building their columns, and what makes one unfit for a run.
#include "tarvo/table.h"

#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <utility>

#include "tarvo/numbers.h"

namespace tarvo {

int32_t Table::ObjectCount() const {
  return Columns.empty() ? 0 : static_cast<int32_t>(Columns.front().Values.size());
}

Column& Table::AddNumericColumn(std::string name, std::vector<double> values) {
  Column& column = Columns.emplace_back();
  column.Name = std::move(name);
  column.Values = std::move(values);
  return column;
}

Column& Table::AddNominalColumn(std::string name, const std::vector<std::string>& texts,
                                const std::vector<std::string>& missing) {
  Column& column = Columns.emplace_back();
  column.Name = std::move(name);
  column.Nominal = true;
  column.Values.reserve(texts.size());
  std::unordered_map<std::string, int32_t> codes;
  for (const std::string& text : texts) {
    bool isMissing = false;
    for (const std::string& m : missing) isMissing = isMissing || text == m;
    if (isMissing) {
      column.Values.push_back(kMissingValue);
      continue;
    }
    auto [entry, added] = codes.try_emplace(text, static_cast<int32_t>(codes.size()) + 1);
    if (added) column.ValueNames.push_back(text);
    column.Values.push_back(entry->second);
  }
  return column;
}

namespace {

std::string Fault(const std::string& text) {
  return "Error in input table: " + text;
}

// The first value of the column that it cannot hold, as a fault; empty when there is none.
std::string FindValueFault(const Column& column, const char* part) {
  const double codes = static_cast<double>(column.ValueNames.size());
  for (size_t o = 0; o < column.Values.size(); ++o) {
    const double x = column.Values[o];
    if (std::isnan(x)) continue;
    const std::string where =
        std::string(part) + "column " + column.Name + ", object " + std::to_string(o + 1) + ": ";
    if (!column.Nominal && !std::isfinite(x)) return Fault(where + "an infinite value");
    if (column.Nominal && (x < 1 || x > codes || x != std::trunc(x))) {
      return Fault(where + "code " + FormatReal(x, 0, 0) + " is not one of its " +
                   std::to_string(column.ValueNames.size()) + " values");
    }
  }
  return {};
}

std::string FindColumnsFault(const Table& table, const char* part) {
  const size_t objects = table.Columns.front().Values.size();
  for (const Column& column : table.Columns) {
    if (column.Values.size() != objects) {
      return Fault(std::string(part) + "column " + column.Name + " has " +
                   std::to_string(column.Values.size()) + " values, column " +
                   table.Columns.front().Name + " " + std::to_string(objects));
    }
    std::string fault = FindValueFault(column, part);
    if (!fault.empty()) return fault;
  }
  return {};
}

}  // namespace

std::string FindTableFault(const Table& table, int32_t featureToPredict, const Table* toPredict) {
  const size_t columns = table.Columns.size();
  if (columns == 0) return Fault("the table has no columns");
  if (columns > static_cast<size_t>(kMaxTableColumns)) {
    return Fault(std::to_string(columns) + " columns, at most " + std::to_string(kMaxTableColumns));
  }
  if (featureToPredict < 1 || static_cast<size_t>(featureToPredict) > columns) {
    return " Error: wrong number of predicted feature";
  }
  std::string fault = FindColumnsFault(table, "");
  if (!fault.empty()) return fault;
  // Objects are numbered in 32 bits, with room for the run's own index 0.
  if (table.Columns.front().Values.size() >= static_cast<size_t>(INT32_MAX)) {
    return Fault("more than " + std::to_string(INT32_MAX - 1) + " objects");
  }
  if (table.ObjectCount() < 1) return Fault("the table has no objects");
  for (size_t f = 0; f < columns; ++f) {
    const Column& column = table.Columns[f];
    const size_t values = column.ValueNames.size();
    const bool predicted = f + 1 == static_cast<size_t>(featureToPredict);
    if (predicted && column.Nominal && values > static_cast<size_t>(kMaxTableClasses)) {
      return Fault("the predicted column " + column.Name + " has " + std::to_string(values) +
                   " values, at most " + std::to_string(kMaxTableClasses) + " classes");
    }
    if (column.Nominal && values > static_cast<size_t>(kMaxNominalValues)) {
      return Fault("column " + column.Name + " has " + std::to_string(values) +
                   " values, at most " + std::to_string(kMaxNominalValues));
    }
  }
  if (!toPredict || toPredict->Columns.empty()) return {};
  bool same = toPredict->Columns.size() == columns;
  for (size_t f = 0; same && f < columns; ++f) {
    const Column& a = table.Columns[f];
    const Column& b = toPredict->Columns[f];
    same = a.Name == b.Name && a.Nominal == b.Nominal && a.ValueNames == b.ValueNames;
  }
  if (!same) return Fault("the objects to predict do not have the columns of the table");
  return FindColumnsFault(*toPredict, "objects to predict, ");
}

}  // namespace tarvo
