// tarvo-run --tune: the search over look-ahead and homogeneity settings, printed as a table.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "tarvo/parameters.h"

namespace tarvo {

struct TuneCommand {
  std::string Table;
  std::string GridText;          // empty: the default grid
  double BudgetSeconds = 300.0;  // 0: no limit
  bool WriteParam = false;       // write the best setting into param.par
  int32_t SearchThreads = 0;
};

// Runs the search with `base` for the other parameters, prints the table to `out` and, when
// `progress` is not null, a progress line to it. Returns the exit status: 0 when the search ran
// (to its end or to the budget), 1 when the table or the parameters cannot be tuned, 2 for an
// engine error or a param.par that cannot be written, 64 for a grid text that does not read,
// 130 when `interrupted` became true (the rows done so far are printed).
int RunTuneCommand(const TuneCommand& command, const RunParameters& base,
                   const std::atomic<bool>* interrupted, std::FILE* out, std::FILE* progress);

}  // namespace tarvo
