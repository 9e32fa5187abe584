// The input table in memory, its target description, and the reader that fills them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "tarvo/table_file.h"

namespace tarvo {

class ReportFile;

enum TFeatureType : uint8_t { ftNumeric = 0, ftNominal = 2 };

// A missing value in the run's columns. No table value can take it: a table file's numbers are
// finite, and a table in memory refuses infinite values.
constexpr double MissingCode = std::numeric_limits<double>::infinity();
// The number that a table file writes for a missing value.
constexpr double kFileMissingNumber = 9999.0;
// The printed outer bounds of a numeric feature's first and last interval. Values beyond them are
// valid, so those branches are open on their outer side (TBranchRec::OpenBelow and OpenAbove).
constexpr double kOpenBound = 1e17;
constexpr int kMaxObjects = 500;
constexpr int kMaxFileColumns = 59;
constexpr int kMaxClasses = 12;
constexpr int kMaxFeatures = 256;  // 255 columns of a table in memory and the companion column
constexpr int kTokenLength = 20;
constexpr size_t kMaxTableBytes = kMaxTableFileBytes;

inline bool IsKnown(double value) {
  return value != MissingCode;
}

struct TValueRec {
  int32_t Code = 0;
  std::string Text;  // empty: a free entry
};

// The features a search or a run may use.
struct TFeatureMask {
  std::array<bool, kMaxFeatures + 1> Allowed{};  // features 1..256, entry 0 unused
  bool& operator[](int f) { return Allowed[f]; }
  bool operator[](int f) const { return Allowed[f]; }
};

// Values by column, then by object: Data[f][o]; index 0 of both holds nothing.
using TDataTable = std::vector<std::vector<double>>;

struct TInputTable {
  int32_t ObjectCount = 0;
  int32_t FileColumns = 0;
  int32_t FeatureCount = 0;  // FileColumns + 1 once the companion column is added
  std::string MissingToken;
  std::vector<TFeatureType> FeatureType;           // [1..FeatureCount]
  std::vector<int32_t> DeclaredValues;             // [1..FeatureCount], 0..255
  std::vector<std::vector<TValueRec>> ValueTable;  // [f][j - 1] is entry j
  std::vector<std::string> FeatureName;            // [1..FeatureCount]
  TDataTable Data;
  int32_t PredictCount = 0;
  TDataTable PredictData;
};

// Which column is predicted and how the two parts of the target are weighed.
struct TTargetDescription {
  int32_t ClassFeature = 0;
  int32_t RegressionFeature = 0;
  double ErrorWeight = 0.0;
  double DispersionWeight = 0.0;
  bool ClassificationMode = false;
  bool RegressionMode = false;
  int32_t NumberOfClasses = 0;
  std::vector<std::string> ClassNames;  // [1..NumberOfClasses]

  const std::string& ClassName(int32_t code) const;  // empty text for a code without a name
};

// Fills the target description from the predicted column and adds the companion column
// (FeatureCount becomes FileColumns + 1): the part of the target not in use points at the last
// column. FeatureType, DeclaredValues, ValueTable and FeatureName must hold FileColumns + 2
// entries.
void DescribeTarget(int32_t featureToPredict, double targetWeight, TInputTable& table,
                    TTargetDescription& target);

// Reads one table file. Every routine that can fail has written its message to the report when
// it returns false; the caller then ends the run.
class TableReader {
 public:
  TableReader(ReportFile& report, std::string fileName);

  // Opens the file, reads counts, types, names and the training rows, and describes the target.
  bool LoadTrainingPart(int32_t featureToPredict, double targetWeight, TInputTable& table,
                        TTargetDescription& target, TFeatureMask& predictorMask);
  // Finds the optional prediction section after the training rows and reads its rows.
  bool LoadPredictionSection(TInputTable& table);
  // Opens the file and reads only its counts, column types and names (a caller that picks a
  // column by name); fills FileColumns, FeatureType and FeatureName for 1..FileColumns.
  bool LoadHeader(TInputTable& table);

  // The pieces, exposed for the tests.
  bool ReadToken(bool& lineEnded, std::string& token);
  void ReadWord(std::string& word, bool& lineEnded, bool& atEnd);
  bool InComment() const { return inComment_; }

 private:
  int ReadChar();
  bool ReadNumber(double& value);
  bool ReadTypes(TInputTable& table);
  bool ReadRows(TInputTable& table, TDataTable& rowsTable, bool isPrediction, int32_t columns,
                int32_t rows);
  void SkipRestOfLine();
  bool Fail(std::string_view message, bool endLine);

  ReportFile& report_;
  std::string fileName_;
  std::string bytes_;
  size_t position_ = 0;
  bool ended_ = false;
  bool inComment_ = false;
  bool lineEnded_ = false;
};

// A number token of the table: digits, a leading minus sign, and points of which the last is the
// decimal point. Returns true when the token is NOT a valid number.
bool ParseNumber(const std::string& token, double& value);

// 10^n made by repeated multiplication (or division) of 1.0 by 10.0.
double PowerOfTen(int32_t n);

}  // namespace tarvo
