// How tarvo-run reads its table: the format, the nominal columns of a CSV or TSV table, and the
// predicted column of such a table when --target does not say.
#pragma once

#include <string>
#include <vector>

#include "command_line.h"
#include "tarvo/csv_table.h"
#include "tarvo/parameters.h"

// --table-format when given, else what the table's name tells.
tarvo::TableFormat TableFormatOf(const CommandLine& line);

// The columns of --nominal, split at commas.
std::vector<std::string> NominalColumnsOf(const CommandLine& line);

// A CSV or TSV table without --target predicts its last column; a note on stderr says which. A
// header that does not read leaves the parameters as they are: the run reports the fault.
void PredictLastColumnOfCsv(const CommandLine& line, tarvo::RunParameters& parameters,
                            std::vector<std::string>& notes);
