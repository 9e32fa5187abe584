// The seven run parameters and their file, param.par.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarvo {

struct RunParameters {
  double TargetWeight = 1.0;
  double RecursiveComplexity = 1.0;
  double Homogeneity = 0.05;
  int32_t MonteCarlo = 100;
  int32_t VariantsNumber = 1;
  int32_t FeatureToPredict = 1;
  int32_t FoldsCrossValidate = 10;
};

// The most bytes a parameter file may hold; a longer one reads as one that cannot be read (a
// link to a device such as /dev/zero never ends).
inline constexpr size_t kParameterFileLimit = 65536;

// Reads the seven values in file order, separated by any whitespace. A value that is missing, or
// a token that does not convert completely, reads as 0; a file that cannot be opened gives 0 for
// every value. Nothing is reported.
RunParameters ReadParameterFile(const std::string& path);

// The same values, and one line in warnings for every problem, naming the file and the value: a
// file that cannot be read or holds no value at all, a value that is missing or not a number.
RunParameters ReadParameterFile(const std::string& path, std::vector<std::string>& warnings);

// The same values and warnings from the bytes of the file named path, already read (a pipe
// gives its bytes only once).
RunParameters ParseParameterText(std::string bytes, const std::string& path,
                                 std::vector<std::string>& warnings);

// The one line of param.par: the values at widths 5.3, 5.3, 5.3, 4, 3, 3, 3 separated by one
// blank, without a line end (34 characters with the defaults).
std::string FormatParameterLine(const RunParameters& p);

// Writes the line as the whole file, replacing it only once written; false when it cannot be
// written (errno says why).
bool WriteParameterFile(const std::string& path, const RunParameters& p);

}  // namespace tarvo
