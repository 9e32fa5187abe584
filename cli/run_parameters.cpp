// Resolving the run parameters of tarvo-run, a column name as the target included.
#include "run_parameters.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "exit_status.h"
#include "table_input.h"
#include "tarvo/numbers.h"
#include "tarvo/pruning.h"
#include "tarvo/table_columns.h"

namespace {

constexpr const char* kDefaultParameterFile = "param.par";
// Names in the table are kept to their first 20 characters.
constexpr size_t kNameLength = 20;

int OptionError(const std::string& message) {
  std::fprintf(stderr, "tarvo-run: %s\n", message.c_str());
  return kExitUsage;
}

// Reads the file's bytes, once: a pipe gives them only once. 0 when the file opens and holds at
// most the parameter file's limit, else the system's error number (a folder opens but does not
// read), or EFBIG when it is longer.
int ReadParameterBytes(const std::string& path, std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return errno;
  char buffer[4096];
  size_t total = 0, got = 0;
  while (total <= tarvo::kParameterFileLimit &&
         (got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    total += got;
    bytes.append(buffer, got);
  }
  const int error = std::ferror(file) ? errno : total > tarvo::kParameterFileLimit ? EFBIG : 0;
  std::fclose(file);
  return error;
}

template <typename T>
void Override(T& value, const std::optional<T>& option) {
  if (option) value = *option;
}

std::string ColumnList(const std::vector<tarvo::TableColumn>& columns) {
  std::string names;
  for (size_t c = 0; c < columns.size(); ++c) {
    names += (c == 0 ? "" : ", ") + std::to_string(c + 1) + " " + columns[c].Name;
  }
  return names;
}

// The predicted column: a number within the table's columns, or a name looked up in the table's
// header as it spells it (in a table file, whose names keep 20 characters, by its first 20). A
// number beyond the columns may still be a CSV column's name, such as a year. A header that does
// not read leaves the number as it is: the run then reports the table's fault.
std::optional<int> ResolveTarget(const CommandLine& line, int32_t& featureToPredict) {
  if (!line.Target) return std::nullopt;
  const std::string& target = *line.Target;
  const tarvo::TableFormat format = TableFormatOf(line);
  std::vector<tarvo::TableColumn> columns;
  const bool header = tarvo::ReadTableColumns(TableFileOf(line), format, columns);
  const std::string_view name = format == tarvo::TableFormat::Described
                                    ? std::string_view(target).substr(0, kNameLength)
                                    : std::string_view(target);
  int32_t number = 0;
  if (tarvo::ParseIntegerToken(target, number)) {
    const bool inRange = number >= 1 && static_cast<size_t>(number) <= columns.size();
    if (header && !inRange && tarvo::FindTableColumn(columns, name) == 0) {
      return OptionError("--target: " + line.Table + " has no column " + target +
                         " (its columns: " + ColumnList(columns) + ")");
    }
    if (!header || inRange) {
      featureToPredict = number;
      return std::nullopt;
    }
  }
  if (!header) return std::nullopt;
  const int32_t column = tarvo::FindTableColumn(columns, name);
  if (column == 0) {
    return OptionError("--target: " + line.Table + " has no column named '" + target +
                       "' (its columns: " + ColumnList(columns) + ")");
  }
  if (column < 0) {
    return OptionError("--target: more than one column of " + line.Table + " is named '" + target +
                       "'; give its number");
  }
  featureToPredict = column;
  return std::nullopt;
}

}  // namespace

std::string ParameterFileOf(const CommandLine& line) {
  return line.ParameterFile.value_or(kDefaultParameterFile);
}

std::optional<int> ResolveParameters(const CommandLine& line, tarvo::RunParameters& parameters,
                                     std::vector<std::string>& notes) {
  const std::string file = ParameterFileOf(line);
  std::string bytes;
  const int error = ReadParameterBytes(file, bytes);
  std::vector<std::string> warnings;
  if (line.ParameterFile && error != 0) {
    return OptionError("--param: cannot read " + file + ": " +
                       (error == EFBIG ? "it is too long" : std::strerror(error)));
  }
  if (error == ENOENT) {
    parameters = tarvo::RunParameters{};
    notes.push_back("note: no " + file +
                    " here: the run parameters are the parameter panel's "
                    "defaults (" +
                    tarvo::FormatParameterLine(parameters) + ")" +
                    (line.HasOptions ? " where no option sets them" : ""));
  } else if (error != 0) {
    // One that exists but does not read counts as zeros, as in the window, with its warning.
    parameters = tarvo::ReadParameterFile(file, warnings);
  } else {
    parameters = tarvo::ParseParameterText(std::move(bytes), file, warnings);
  }
  for (const std::string& warning : warnings) notes.push_back("warning: " + warning);
  Override(parameters.TargetWeight, line.TargetWeight);
  Override(parameters.RecursiveComplexity, line.RecursiveComplexity);
  Override(parameters.Homogeneity, line.Homogeneity);
  Override(parameters.MonteCarlo, line.MonteCarlo);
  Override(parameters.VariantsNumber, line.VariantsNumber);
  Override(parameters.FoldsCrossValidate, line.FoldsCrossValidate);
  if (std::optional<int> status = ResolveTarget(line, parameters.FeatureToPredict)) return status;
  PredictLastColumnOfCsv(line, parameters, notes);
  // A pruned run grows larger trees unless the options set the growth parameters. A search gives
  // its pruned rows that growth itself, and writes param.par from the values read here.
  if (line.Tune) return std::nullopt;
  tarvo::UsePruneGrowth(line.Prune.value_or(tarvo::PruneRule::None), line.TargetWeight.has_value(),
                        line.Homogeneity.has_value(), parameters);
  return std::nullopt;
}
