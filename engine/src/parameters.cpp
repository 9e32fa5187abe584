// param.par: the run parameters on one line, read back from any whitespace layout.
#include "tarvo/parameters.h"

#include <cerrno>

#include "file_bytes.h"
#include "system_error_text.h"
#include "tarvo/atomic_file.h"
#include "tarvo/numbers.h"
#include "whitespace_numbers.h"

namespace tarvo {

RunParameters ReadParameterFile(const std::string& path) {
  std::vector<std::string> ignored;
  return ReadParameterFile(path, ignored);
}

RunParameters ReadParameterFile(const std::string& path, std::vector<std::string>& warnings) {
  RunParameters p{0.0, 0.0, 0.0, 0, 0, 0, 0};
  std::string bytes;
  const TFileRead read = ReadFileBytes(path, bytes, kParameterFileLimit);
  if (read.TooLarge) {
    warnings.push_back(path + ": is too long (more than " + std::to_string(kParameterFileLimit) +
                       " bytes); every run parameter counts as 0");
    return p;
  }
  if (!read) {
    warnings.push_back(path + ": cannot be read" + WithSystemReason(read.SystemError) +
                       "; every run parameter counts as 0");
    return p;
  }
  return ParseParameterText(std::move(bytes), path, warnings);
}

RunParameters ParseParameterText(std::string bytes, const std::string& path,
                                 std::vector<std::string>& warnings) {
  RunParameters p{0.0, 0.0, 0.0, 0, 0, 0, 0};
  WhitespaceNumberReader reader(std::move(bytes));
  // Every value that does not read completely is 0; reading goes on with the next one.
  using Outcome = WhitespaceNumberReader::Outcome;
  std::vector<std::string> problems;
  bool anyToken = false;
  auto check = [&](Outcome outcome, const char* name) {
    anyToken = anyToken || outcome != Outcome::EndOfFile;
    if (outcome == Outcome::NotANumber) {
      problems.push_back(path + ": " + name + " \"" + reader.LastToken() +
                         "\" is not a number; it counts as 0");
    } else if (outcome == Outcome::EndOfFile) {
      problems.push_back(path + ": " + name + " is missing; it counts as 0");
    }
  };
  check(reader.ReadReal(p.TargetWeight), "TargetWeight");
  check(reader.ReadReal(p.RecursiveComplexity), "RecursiveComplexity");
  check(reader.ReadReal(p.Homogeneity), "Homogeneity");
  check(reader.ReadInteger(p.MonteCarlo), "MonteCarlo");
  check(reader.ReadInteger(p.VariantsNumber), "VariantsNumber");
  check(reader.ReadInteger(p.FeatureToPredict), "FeatureToPredict");
  check(reader.ReadInteger(p.FoldsCrossValidate), "FoldsCrossValidate");
  if (!anyToken) {
    warnings.push_back(path + ": holds no values; every run parameter counts as 0");
  } else {
    warnings.insert(warnings.end(), problems.begin(), problems.end());
  }
  return p;
}

std::string FormatParameterLine(const RunParameters& p) {
  return FormatReal(p.TargetWeight, 5, 3) + " " + FormatReal(p.RecursiveComplexity, 5, 3) + " " +
         FormatReal(p.Homogeneity, 5, 3) + " " + FormatInteger(p.MonteCarlo, 4) + " " +
         FormatInteger(p.VariantsNumber, 3) + " " + FormatInteger(p.FeatureToPredict, 3) + " " +
         FormatInteger(p.FoldsCrossValidate, 3);
}

bool WriteParameterFile(const std::string& path, const RunParameters& p) {
  const int error = WriteFileAtomically(path, FormatParameterLine(p));
  errno = error;
  return error == 0;
}

}  // namespace tarvo
