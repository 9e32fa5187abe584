// Between a table in memory and the run's own columns.
#pragma once

#include <cstdint>

#include "input_table.h"
#include "tarvo/table.h"

namespace tarvo {

struct TFeatureMask;

// Fills the run's input table from a table in memory (which FindTableFault accepts), describes
// the target and allows every column but the predicted one as a predictor. toPredict may be null.
void LoadTable(const Table& table, const Table* toPredict, int32_t featureToPredict,
               double targetWeight, TInputTable& input, TTargetDescription& target,
               TFeatureMask& predictorMask);

// The objects of a table file as it was read: its training rows, and the rows of its prediction
// section (no columns when it has none). Every nominal column keeps its declared values.
void TablesOfInput(const TInputTable& input, Table& training, Table& toPredict);

}  // namespace tarvo
