// Resolving the run parameters of tarvo-run, a column name as the target included.
#include "run_parameters.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "exit_status.h"
#include "table_input.h"
#include "tarvo/numbers.h"
#include "tarvo/table_columns.h"

namespace {

constexpr const char* kDefaultParameterFile = "param.par";

int OptionError(const std::string& message) {
  std::fprintf(stderr, "tarvo-run: %s\n", message.c_str());
  return kExitUsage;
}

// 0 when the file opens and its first byte reads, else the system's error number (a folder
// opens but does not read).
int ReadError(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return errno;
  std::fgetc(file);
  const int error = std::ferror(file) ? errno : 0;
  std::fclose(file);
  return error;
}

template <typename T>
void Override(T& value, const std::optional<T>& option) {
  if (option) value = *option;
}

// The predicted column: a number as it stands, a name looked up in the table's header. A header
// that does not read leaves the number as it is: the run then reports the table's fault.
std::optional<int> ResolveTarget(const CommandLine& line, int32_t& featureToPredict) {
  if (!line.Target) return std::nullopt;
  const std::string& target = *line.Target;
  if (tarvo::ParseIntegerToken(target, featureToPredict)) return std::nullopt;
  std::vector<tarvo::TableColumn> columns;
  if (!tarvo::ReadTableColumns(line.Table, TableFormatOf(line), columns)) return std::nullopt;
  const int32_t column = tarvo::FindTableColumn(columns, target);
  if (column == 0) {
    std::string names;
    for (const tarvo::TableColumn& c : columns) names += (names.empty() ? "" : " ") + c.Name;
    return OptionError("--target: " + line.Table + " has no column named '" + target +
                       "' (its columns: " + names + ")");
  }
  if (column < 0) {
    return OptionError("--target: more than one column of " + line.Table + " is named '" + target +
                       "'; give its number");
  }
  featureToPredict = column;
  return std::nullopt;
}

// A pruned run grows larger trees unless the options set the growth parameters; a regression
// run keeps its homogeneity, the level of its chi-square test.
void UsePruningGrowth(const CommandLine& line, tarvo::RunParameters& parameters) {
  if (!line.Prune || *line.Prune == tarvo::PruneRule::None) return;
  if (!line.TargetWeight) parameters.TargetWeight = tarvo::kPruneTargetWeight;
  if (line.Homogeneity) return;
  std::vector<tarvo::TableColumn> columns;
  const int32_t target = parameters.FeatureToPredict;
  if (!tarvo::ReadTableColumns(line.Table, columns) || target < 1 ||
      target > static_cast<int32_t>(columns.size()) || !columns[target - 1].Nominal) {
    return;
  }
  parameters.Homogeneity = tarvo::kPruneHomogeneity;
}

}  // namespace

std::optional<int> ResolveParameters(const CommandLine& line, tarvo::RunParameters& parameters,
                                     std::vector<std::string>& warnings) {
  if (!line.HasOptions) {
    parameters = tarvo::ReadParameterFile(kDefaultParameterFile, warnings);
    return std::nullopt;
  }
  const std::string file = line.ParameterFile.value_or(kDefaultParameterFile);
  const int error = ReadError(file);
  if (error == 0) {
    parameters = tarvo::ReadParameterFile(file, warnings);
  } else if (line.ParameterFile) {
    return OptionError("--param: cannot read " + file + ": " + std::strerror(error));
  } else {
    parameters = tarvo::RunParameters{};
  }
  Override(parameters.TargetWeight, line.TargetWeight);
  Override(parameters.RecursiveComplexity, line.LookAhead);
  Override(parameters.Homogeneity, line.Homogeneity);
  Override(parameters.MonteCarlo, line.MonteCarlo);
  Override(parameters.VariantsNumber, line.Variants);
  Override(parameters.FoldsCrossValidate, line.Folds);
  if (std::optional<int> status = ResolveTarget(line, parameters.FeatureToPredict)) return status;
  UsePruningGrowth(line, parameters);
  return std::nullopt;
}
