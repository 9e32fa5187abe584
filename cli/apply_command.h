// tarvo-run --apply MODEL TABLE: a saved model predicts the objects of a table.
#pragma once

#include "command_line.h"

// Writes one CSV row per object of the table (its number, each variant's prediction, the vote)
// to -o FILE, or to standard output; where the table holds true values, the test errors go to
// stderr. Returns the exit status.
int RunApplyCommand(const CommandLine& line);
