// How tarvo-run reads its table: the format, the nominal columns of a CSV or TSV table, and the
// predicted column of such a table when --target does not say.
#pragma once

#include <string>
#include <vector>

#include "command_line.h"
#include "tarvo/csv_table.h"
#include "tarvo/parameters.h"

// The file the table is read from: a copy of a table given as a pipe, else the table itself.
const std::string& TableFileOf(const CommandLine& line);

// 0 when the table opens for reading, else the system's reason (EISDIR for a folder).
int TableOpenError(const std::string& table);

// "cannot open the table TABLE in FOLDER: REASON", for a table that TableOpenError refuses.
std::string TableOpenMessage(const std::string& table, int error);

// A report line without its leading blanks.
std::string TrimmedReportLine(const std::string& line);

// "TABLE: FAULT", the fault's line without its leading blanks.
std::string TableFaultMessage(const std::string& table, const std::string& fault);

// --table-format when given, else what the table's name tells.
tarvo::TableFormat TableFormatOf(const CommandLine& line);

// The columns of --nominal, split at commas.
std::vector<std::string> NominalColumnsOf(const CommandLine& line);

// A CSV or TSV table without --target predicts its last column; a note on stderr says which. A
// header that does not read leaves the parameters as they are: the run reports the fault.
void PredictLastColumnOfCsv(const CommandLine& line, tarvo::RunParameters& parameters,
                            std::vector<std::string>& notes);
