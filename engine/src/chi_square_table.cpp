// The chi-square critical values of a run, read from prog.par and extended by approximation.
#include "chi_square_table.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "file_bytes.h"
#include "system_error_text.h"
#include "tarvo/engine.h"
#include "tarvo/numbers.h"
#include "whitespace_numbers.h"

namespace tarvo {

namespace {

// Far more than the table's 200 numbers need; a link to a device such as /dev/zero never ends.
constexpr size_t kChiSquareFileLimit = 65536;

// The numbers of the level's line as they are read, and how many of them were there and not 0.
class LevelReader {
 public:
  LevelReader(std::string bytes, const std::string& path)
      : reader_(std::move(bytes)), path_(path) {}

  double Next() {
    double value = 0.0;
    ++wanted_;
    switch (reader_.ReadReal(value)) {
      case WhitespaceNumberReader::Outcome::NotANumber:
        throw EngineError("Invalid numeric input: " + path_);
      case WhitespaceNumberReader::Outcome::EndOfFile:
        break;  // a number missing at the end of the file reads as 0 without error
      case WhitespaceNumberReader::Outcome::Value:
        ++found_;
        nonZero_ = nonZero_ || value != 0;
        break;
    }
    return value;
  }
  void SkipLine() { reader_.SkipLine(); }

  // A line that is missing, short or all zeros reads without an error, but the homogeneity test
  // then works with zeros: say so.
  void Warn(int32_t levelPerMille, int line, std::vector<std::string>& warnings) const {
    const std::string level = "line " + std::to_string(line) + " (level " +
                              FormatReal(levelPerMille / 1000.0, 5, 3) + ")";
    if (found_ < wanted_) {
      warnings.push_back(path_ + ": " + level + " holds " + std::to_string(found_) + " of its " +
                         std::to_string(wanted_) + " numbers; the missing ones count as 0");
    } else if (!nonZero_) {
      warnings.push_back(path_ + ": every number of " + level + " is 0");
    }
  }

 private:
  WhitespaceNumberReader reader_;
  const std::string& path_;
  int wanted_ = 0;
  int found_ = 0;
  bool nonZero_ = false;
};

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
                                        int32_t objectCount, std::vector<std::string>* warnings) {
  std::vector<double> table(std::max<int32_t>(objectCount, 70) + 1, 0.0);
  std::string bytes;
  const TFileRead read = ReadFileBytes(path, bytes, kChiSquareFileLimit);
  if (read.TooLarge) {
    throw EngineError("Cannot read file " + path + ": it is too long (more than " +
                      std::to_string(kChiSquareFileLimit) + " bytes)");
  }
  if (!read && read.SystemError != ENOENT && read.SystemError != ENOTDIR) {
    throw EngineError("Cannot read file " + path + WithSystemReason(read.SystemError));
  }
  if (!read) throw EngineError("File not found: " + path + WithSystemReason(read.SystemError));
  LevelReader reader(std::move(bytes), path);

  const int linesToSkip = levelPerMille == 5    ? 1
                          : levelPerMille == 10 ? 2
                          : levelPerMille == 50 ? 3
                                                : 0;
  for (int i = 0; i < linesToSkip; ++i) reader.SkipLine();
  for (int f = 1; f <= 30; ++f) table[f] = reader.Next();
  if (levelPerMille != 5) {
    for (int i = 1; i <= 20; ++i) {
      table[30 + 2 * i] = reader.Next();
      table[29 + 2 * i] = table[28 + 2 * i] + (table[30 + 2 * i] - table[28 + 2 * i]) / 2;
    }
  }
  const int32_t firstApproximated = levelPerMille == 5 ? 31 : 71;
  const double z = NormalQuantile(levelPerMille);
  for (int32_t f = firstApproximated; f <= objectCount; ++f) table[f] = ApproximateChiSquare(f, z);
  if (warnings) reader.Warn(levelPerMille, linesToSkip + 1, *warnings);
  return table;
}

}  // namespace tarvo
