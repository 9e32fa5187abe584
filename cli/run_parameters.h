// The run parameters of tarvo-run: options over the parameter file over the panel's defaults.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "command_line.h"
#include "tarvo/parameters.h"

// Without any option: param.par as the window reads it (a missing file or value counts as 0).
// With options: each option, else the parameter file's value, else the default of the parameter
// panel when there is no parameter file. Returns the exit status, its line on stderr, when an
// option cannot be used: a --param file that cannot be read, a --target name the table lacks.
// Values of the parameter file that read as 0 without an error add one line each to warnings.
std::optional<int> ResolveParameters(const CommandLine& line, tarvo::RunParameters& parameters,
                                     std::vector<std::string>& warnings);
