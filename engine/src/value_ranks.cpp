// Ranks each numeric feature's values once per run.
#include "value_ranks.h"

#include <algorithm>

namespace tarvo {

void RankFeatureValues(const TInputTable& table, TValueRanks& ranks) {
  const int32_t m = table.FeatureCount;
  const int32_t n = table.ObjectCount;
  ranks.Distinct.assign(m + 1, {});
  ranks.Rank.assign(m + 1, {});
  for (int32_t f = 1; f <= m; ++f) {
    if (table.FeatureType[f] != ftNumeric) continue;
    const std::vector<double>& column = table.Data[f];
    std::vector<double>& distinct = ranks.Distinct[f];
    for (int32_t o = 1; o <= n; ++o) {
      if (IsKnown(column[o])) distinct.push_back(column[o]);
    }
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    std::vector<int32_t>& rank = ranks.Rank[f];
    rank.assign(n + 1, -1);
    for (int32_t o = 1; o <= n; ++o) {
      if (!IsKnown(column[o])) continue;
      rank[o] = static_cast<int32_t>(std::lower_bound(distinct.begin(), distinct.end(), column[o]) -
                                     distinct.begin());
    }
  }
}

}  // namespace tarvo
