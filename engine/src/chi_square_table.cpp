#include "chi_square_table.h"

#include <algorithm>
#include <cmath>

#include "file_bytes.h"
#include "tarvo/engine.h"
#include "whitespace_numbers.h"

namespace tarvo {

namespace {

double ReadValue(WhitespaceNumberReader& reader, const std::string& path) {
  double value = 0.0;
  // A number missing at the end of the file reads as 0 without error.
  if (reader.ReadReal(value) == WhitespaceNumberReader::Outcome::NotANumber) {
    throw EngineError("Invalid numeric input: " + path);
  }
  return value;
}

// Upper quantile of the standard normal distribution at the level of the file's line.
double NormalQuantile(int32_t levelPerMille) {
  switch (levelPerMille) {
    case 5:
      return 2.57;
    case 10:
      return 2.32;
    case 50:
      return 1.64;
    default:
      return 3.09;
  }
}

}  // namespace

double ApproximateChiSquare(int32_t degreesOfFreedom, double z) {
  const double root = std::sqrt(2.0 * degreesOfFreedom - 1.0) + z;
  return 0.5 * (root * root);
}

std::vector<double> BuildChiSquareTable(const std::string& path, int32_t levelPerMille,
                                        int32_t objectCount) {
  std::vector<double> table(std::max<int32_t>(objectCount, 70) + 1, 0.0);
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) throw EngineError("File not found: " + path);
  WhitespaceNumberReader reader(std::move(bytes));

  const int linesToSkip = levelPerMille == 5    ? 1
                          : levelPerMille == 10 ? 2
                          : levelPerMille == 50 ? 3
                                                : 0;
  for (int i = 0; i < linesToSkip; ++i) reader.SkipLine();
  for (int f = 1; f <= 30; ++f) table[f] = ReadValue(reader, path);
  if (levelPerMille != 5) {
    for (int i = 1; i <= 20; ++i) {
      table[30 + 2 * i] = ReadValue(reader, path);
      table[29 + 2 * i] = table[28 + 2 * i] + (table[30 + 2 * i] - table[28 + 2 * i]) / 2;
    }
  }
  const int32_t firstApproximated = levelPerMille == 5 ? 31 : 71;
  const double z = NormalQuantile(levelPerMille);
  for (int32_t f = firstApproximated; f <= objectCount; ++f) table[f] = ApproximateChiSquare(f, z);
  return table;
}

}  // namespace tarvo
