// tarvo-run --tune: the search over look-ahead, homogeneity and pruning, printed as a table.
#pragma once

#include <string>
#include <vector>

#include "command_line.h"
#include "tarvo/parameters.h"

// Runs the grid on line.Table with `base` for the other parameters and prints one row per
// setting, the best marked; progress goes to stderr when it is a terminal. Returns the exit
// status: 0 when the search ran (to its end or to the budget), 1 when the table or the parameters
// cannot be tuned, 2 for an engine error or a parameter file that cannot be written, 64 for a
// grid that does not read, 130 after Ctrl+C (the rows done so far are printed). The runs' warnings
// join notes.
int RunTuneCommand(const CommandLine& line, const tarvo::RunParameters& base,
                   std::vector<std::string>& notes);
