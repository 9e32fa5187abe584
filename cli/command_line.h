// tarvo-run's command line: the table, the run parameters that override the parameter file, and
// the files of the run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "result_table.h"
#include "tarvo/pruning.h"

struct CommandLine {
  std::string Table;
  // Where the table is read from when that is not Table: a copy of a table given as a pipe.
  std::string TableToRead;
  // Run parameters given as options, by the names of RunParameters; each one overrides the
  // parameter file.
  std::optional<double> TargetWeight, RecursiveComplexity, Homogeneity;
  std::optional<int32_t> MonteCarlo, VariantsNumber, FoldsCrossValidate;
  std::optional<std::string> Target;  // a column number, or a name from the table's header
  // The table's format (csv, tsv or table) where its name does not tell, and the columns of a
  // CSV or TSV table that are nominal even when their values are numbers.
  std::optional<std::string> TableFormat, Nominal;
  std::optional<std::string> ParameterFile, ChiSquareFile, ReportFile;
  // --prune: kept apart from the seven run parameters (param.par stays as it is).
  std::optional<tarvo::PruneRule> Prune;
  // Pictures of the reported trees; they change nothing in the run.
  std::optional<std::string> DotFile, SvgFile;
  int32_t SvgVariant = 1;
  // --save-model: the run's model is written there too. --apply: the model that predicts the
  // objects of the table instead of a run.
  std::optional<std::string> SaveModel, ApplyModel;
  // Any option at all: the run is then no longer exactly the window's Grow Tree.
  bool HasOptions = false;
  // --tune: runs a grid of look-ahead and homogeneity settings instead of one run.
  bool Tune = false;
  std::optional<std::string> Grid;
  std::optional<double> Budget;
  bool WriteParam = false;
  ResultFormat Format = ResultFormat::Text;  // of the rows that --tune prints
};

// Fills `line` from the arguments. Returns the exit status when the program ends here: after
// --help or --version, or on a usage error, whose one line is then on stderr.
std::optional<int> ParseCommandLine(int argc, char** argv, CommandLine& line);
