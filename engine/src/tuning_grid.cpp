// The grid of settings a tuning tries, its text form, and how its rows are scored and ranked.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

#include "tarvo/numbers.h"
#include "tarvo/tuning.h"

namespace tarvo {

std::vector<double> DefaultRecursiveComplexities() {
  return {1.0, 2.0, 2.5, 3.0};
}

std::vector<double> DefaultHomogeneities(bool numericTarget) {
  if (numericTarget) return {0.001, 0.005, 0.01, 0.05};
  return {0.01, 0.05, 0.1, 0.2};
}

std::vector<PruneRule> DefaultPruneRules() {
  return {PruneRule::None, PruneRule::OneSe, PruneRule::Min};
}

namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The comma-separated values of a list, each read by `parse`.
template <typename T, typename Parse>
bool ParseValueList(std::string_view text, std::vector<T>& values, Parse parse) {
  values.clear();
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    const std::string_view token = text.substr(start, comma - start);
    T value{};
    if (!parse(token, value)) return false;
    values.push_back(value);
    if (comma == std::string_view::npos) return true;
    start = comma + 1;
  }
}

bool ParseRule(std::string_view token, PruneRule& rule) {
  return ParsePruneRule(Lower(token), rule);
}

}  // namespace

bool ParseTuningGrid(std::string_view text, TuningGrid& grid, std::string& message) {
  TuningGrid parsed;
  size_t position = 0;
  auto isSeparator = [](char c) { return c == ';' || std::isspace(static_cast<unsigned char>(c)); };
  while (position < text.size()) {
    if (isSeparator(text[position])) {
      ++position;
      continue;
    }
    size_t end = position;
    while (end < text.size() && !isSeparator(text[end])) ++end;
    const std::string_view part = text.substr(position, end - position);
    position = end;
    const size_t equals = part.find('=');
    const std::string name = Lower(part.substr(0, equals));
    std::vector<double>* list = nullptr;
    if (name == "rc" || name == "recursivecomplexity") list = &parsed.RecursiveComplexity;
    if (name == "h" || name == "homogeneity") list = &parsed.Homogeneity;
    const bool rules = name == "prune";
    if (equals == std::string_view::npos || (!list && !rules)) {
      message = "grid part \"" + std::string(part) +
                "\" is not rc=VALUES, h=VALUES or prune=RULES (separated by commas)";
      return false;
    }
    const std::string_view values = part.substr(equals + 1);
    if (rules && !ParseValueList(values, parsed.Prune, ParseRule)) {
      message = "grid part \"" + std::string(part) + "\" holds a rule that is not none, min or 1se";
      return false;
    }
    if (list && !ParseValueList(values, *list, ParseRealToken)) {
      message = "grid part \"" + std::string(part) + "\" holds a value that is not a number";
      return false;
    }
  }
  grid = parsed;
  return true;
}

double TuningProgress::Fraction() const {
  if (Settings <= 0) return 0.0;
  double within = TreesPlanned > 0 ? static_cast<double>(TreesStarted) / TreesPlanned : 0.0;
  within = std::min(within, 1.0);
  return std::min(1.0, (Setting - 1 + within) / Settings);
}

double FoldStandardError(const std::vector<FoldError>& folds) {
  const double k = static_cast<double>(folds.size());
  if (folds.size() < 2) return -1.0;
  double tested = 0.0, sum = 0.0;
  for (const FoldError& f : folds) {
    tested += f.Tested;
    sum += f.Tested * f.Error;
  }
  const double mean = sum / tested;
  double squares = 0.0;
  for (const FoldError& f : folds) squares += f.Tested * ((f.Error - mean) * (f.Error - mean));
  const double variance = squares / tested * (k / (k - 1.0));
  return std::sqrt(variance / k);
}

namespace {

// The value as the report prints it, so that rows the user sees as equal are ties.
double AsPrinted(double value) {
  return std::strtod(FormatReal(value, 5, 3).c_str(), nullptr);
}

// No pruning is the simpler setting; of the rules, 1se keeps the smaller tree.
int Simplicity(PruneRule rule) {
  switch (rule) {
    case PruneRule::None:
      return 0;
    case PruneRule::OneSe:
      return 1;
    case PruneRule::Min:
      return 2;
  }
  return 3;
}

bool Better(const TuningRow& a, const TuningRow& b) {
  const double ea = AsPrinted(a.CrossValidationError), eb = AsPrinted(b.CrossValidationError);
  if (ea != eb) return ea < eb;
  if (a.RecursiveComplexity != b.RecursiveComplexity) {
    return a.RecursiveComplexity < b.RecursiveComplexity;
  }
  if (a.Prune != b.Prune) return Simplicity(a.Prune) < Simplicity(b.Prune);
  return a.Homogeneity > b.Homogeneity;
}

}  // namespace

int32_t BestTuningRow(const std::vector<TuningRow>& rows) {
  int32_t best = -1;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].Outcome != TuningOutcome::Scored) continue;
    if (best < 0 || Better(rows[i], rows[static_cast<size_t>(best)])) {
      best = static_cast<int32_t>(i);
    }
  }
  return best;
}

bool WriteTunedParameterFile(const std::string& path, RunParameters base, const TuningRow& row) {
  base.RecursiveComplexity = row.RecursiveComplexity;
  if (row.Prune == PruneRule::None) base.Homogeneity = row.Homogeneity;
  return WriteParameterFile(path, base);
}

}  // namespace tarvo
