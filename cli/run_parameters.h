// The run parameters of tarvo-run: options over the parameter file over the panel's defaults.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "command_line.h"
#include "tarvo/parameters.h"

// The parameter file of the run: --param, else ./param.par.
std::string ParameterFileOf(const CommandLine& line);

// Each option, else the parameter file's value, else the default of the parameter panel when there
// is no parameter file at all (said in a "note:" line). A parameter file that exists reads as the
// window reads it: a value that is missing or not a number counts as 0, with a "warning:" line.
// Returns the exit status, its line on stderr, when an option cannot be used: a --param file that
// cannot be read or is too long, a --target that names no column of the table.
std::optional<int> ResolveParameters(const CommandLine& line, tarvo::RunParameters& parameters,
                                     std::vector<std::string>& notes);
