// param.par: the run parameters on one line, read back from any whitespace layout.
#include "tarvo/parameters.h"

#include <fstream>

#include "file_bytes.h"
#include "tarvo/numbers.h"
#include "whitespace_numbers.h"

namespace tarvo {

RunParameters ReadParameterFile(const std::string& path) {
  RunParameters p{0.0, 0.0, 0.0, 0, 0, 0, 0};
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) return p;
  WhitespaceNumberReader reader(std::move(bytes));
  // Every value that does not read completely is 0; reading goes on with the next one.
  reader.ReadReal(p.TargetWeight);
  reader.ReadReal(p.RecursiveComplexity);
  reader.ReadReal(p.Homogeneity);
  reader.ReadInteger(p.MonteCarlo);
  reader.ReadInteger(p.VariantsNumber);
  reader.ReadInteger(p.FeatureToPredict);
  reader.ReadInteger(p.FoldsCrossValidate);
  return p;
}

std::string FormatParameterLine(const RunParameters& p) {
  return FormatReal(p.TargetWeight, 5, 3) + " " + FormatReal(p.RecursiveComplexity, 5, 3) + " " +
         FormatReal(p.Homogeneity, 5, 3) + " " + FormatInteger(p.MonteCarlo, 4) + " " +
         FormatInteger(p.VariantsNumber, 3) + " " + FormatInteger(p.FeatureToPredict, 3) + " " +
         FormatInteger(p.FoldsCrossValidate, 3);
}

bool WriteParameterFile(const std::string& path, const RunParameters& p) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out << FormatParameterLine(p);
  out.close();
  return static_cast<bool>(out);
}

}  // namespace tarvo
