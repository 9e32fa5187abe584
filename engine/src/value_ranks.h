// The distinct values of every numeric feature over the whole table, sorted once per run, so
// that the value groups of a node are found by marking ranks instead of sorting values.
#pragma once

#include <cstdint>
#include <vector>

#include "input_table.h"

namespace tarvo {

struct TValueRanks {
  std::vector<std::vector<double>> Distinct;  // [f]: the known values of numeric f, ascending
  std::vector<std::vector<int32_t>> Rank;     // [f][o]: the index of o's value in Distinct[f]
};

// Ranks the known values of every numeric feature of the table (nominal features get none).
void RankFeatureValues(const TInputTable& table, TValueRanks& ranks);

}  // namespace tarvo
