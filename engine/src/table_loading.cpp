// Copying columns between a table in memory and the run's input table.
#include "table_loading.h"

#include <cmath>

#include "tarvo/utf8.h"
#include "tree_records.h"

namespace tarvo {

// A table's columns and the companion column must fit a feature mask.
static_assert(kMaxTableColumns + 1 <= kMaxFeatures);
static_assert(kMaxTableClasses <= kMaxClasses);

namespace {

// The run's columns are indexed from 1, index 0 unused; missing values take MissingCode.
std::vector<double> RunColumn(const std::vector<double>& values) {
  std::vector<double> column(values.size() + 1, 0.0);
  for (size_t o = 0; o < values.size(); ++o) {
    column[o + 1] = std::isnan(values[o]) ? MissingCode : values[o];
  }
  return column;
}

std::vector<double> TableValues(const std::vector<double>& column, int32_t objects) {
  std::vector<double> values(objects);
  for (int32_t o = 1; o <= objects; ++o) {
    values[o - 1] = IsKnown(column[o]) ? column[o] : kMissingValue;
  }
  return values;
}

// A name's first kTokenLength bytes, as a table file keeps its names; when those bytes are UTF-8
// up to a character that they would split, that character goes too, so that the name stays text.
// Other bytes (Latin-1, say) are cut where they fall.
std::string CutName(const std::string& name) {
  const size_t limit = static_cast<size_t>(kTokenLength);
  if (name.size() <= limit) return name;
  for (size_t i = 0; i < limit;) {
    const size_t length = Utf8SequenceLength(name, i);
    if (length == 0) break;
    if (i + length > limit) return name.substr(0, i);
    i += length;
  }
  return name.substr(0, limit);
}

// Column f of a run's data table as a column in memory.
Column TableColumnOf(const TInputTable& input, const TDataTable& data, int32_t f, int32_t objects) {
  Column column;
  column.Name = input.FeatureName[f];
  column.Nominal = input.FeatureType[f] == ftNominal;
  column.Values = TableValues(data[f], objects);
  if (column.Nominal) {
    for (const TValueRec& entry : input.ValueTable[f]) column.ValueNames.push_back(entry.Text);
  }
  return column;
}

}  // namespace

void LoadTable(const Table& table, const Table* toPredict, int32_t featureToPredict,
               double targetWeight, TInputTable& input, TTargetDescription& target,
               TFeatureMask& predictorMask) {
  const int32_t columns = static_cast<int32_t>(table.Columns.size());
  const int32_t companion = columns + 1;
  input.ObjectCount = table.ObjectCount();
  input.FileColumns = columns;
  input.FeatureType.assign(companion + 1, ftNumeric);
  input.DeclaredValues.assign(companion + 1, 0);
  input.ValueTable.assign(companion + 1, {});
  input.FeatureName.assign(companion + 1, std::string());
  input.Data.assign(companion + 1, {});
  for (int32_t f = 1; f <= columns; ++f) {
    const Column& column = table.Columns[f - 1];
    input.FeatureName[f] = CutName(column.Name);
    input.Data[f] = RunColumn(column.Values);
    if (!column.Nominal) continue;
    input.FeatureType[f] = ftNominal;
    input.DeclaredValues[f] = static_cast<int32_t>(column.ValueNames.size());
    for (size_t j = 0; j < column.ValueNames.size(); ++j) {
      input.ValueTable[f].push_back(
          TValueRec{static_cast<int32_t>(j + 1), CutName(column.ValueNames[j])});
    }
  }
  predictorMask = TFeatureMask{};
  for (int32_t f = 1; f <= columns; ++f) predictorMask[f] = f != featureToPredict;
  DescribeTarget(featureToPredict, targetWeight, input, target);
  input.Data[companion].assign(input.ObjectCount + 1, 1.0);
  target.ClassNames.assign(target.NumberOfClasses + 1, std::string());
  for (int32_t j = 1; j <= target.NumberOfClasses; ++j) {
    target.ClassNames[j] = input.ValueTable[target.ClassFeature][j - 1].Text;
  }

  input.PredictCount = 0;
  input.PredictData.clear();
  if (!toPredict || toPredict->Columns.empty()) return;
  input.PredictCount = toPredict->ObjectCount();
  input.PredictData.assign(companion + 1, {});
  for (int32_t f = 1; f <= columns; ++f) {
    input.PredictData[f] = RunColumn(toPredict->Columns[f - 1].Values);
  }
  input.PredictData[companion].assign(input.PredictCount + 1, 1.0);
}

void TablesOfInput(const TInputTable& input, Table& training, Table& toPredict) {
  training.Columns.clear();
  toPredict.Columns.clear();
  for (int32_t f = 1; f <= input.FileColumns; ++f) {
    training.Columns.push_back(TableColumnOf(input, input.Data, f, input.ObjectCount));
  }
  if (input.PredictCount == 0) return;
  for (int32_t f = 1; f <= input.FileColumns; ++f) {
    toPredict.Columns.push_back(TableColumnOf(input, input.PredictData, f, input.PredictCount));
  }
}

}  // namespace tarvo
