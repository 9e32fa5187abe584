// The table reader: tokens and comments, header checks, column types and names, rows, and the
// optional prediction section.
#include "input_table.h"

#include <cmath>

#include "file_bytes.h"
#include "report_file.h"
#include "tarvo/numbers.h"

namespace tarvo {

namespace {

constexpr int kEndOfData = 26;

bool IsBlank(int c) {
  return (c >= 8 && c <= 13) || c == 32;
}
bool IsSeparator(int c) {
  return IsBlank(c) || c == ',' || c == '#';
}
// A line feed ends a line as a carriage return does, so LF tables read as their CR LF twins.
bool IsLineEnd(int c) {
  return c == '\r' || c == '\n';
}

const std::string kEmptyText;

}  // namespace

const std::string& TTargetDescription::ClassName(int32_t code) const {
  if (code < 1 || code >= static_cast<int32_t>(ClassNames.size())) return kEmptyText;
  return ClassNames[code];
}

double PowerOfTen(int32_t n) {
  double power = 1.0;
  for (int32_t i = 0; i < n; ++i) power *= 10.0;
  for (int32_t i = 0; i > n; --i) power /= 10.0;
  return power;
}

bool ParseNumber(const std::string& token, double& value) {
  const int length = static_cast<int>(token.size());
  int point = length + 1;  // 1-based position of the last '.', or one past the end
  for (int i = length; i >= 1; --i) {
    if (token[i - 1] == '.') {
      point = i;
      break;
    }
  }
  double sign = 1.0;
  double sum = 0.0;
  bool invalid = false;
  for (int i = 1; i <= length; ++i) {
    const char c = token[i - 1];
    if (i == point) continue;
    if (i == 1 && c == '-') {
      sign = -1.0;
    } else if (c >= '0' && c <= '9') {
      const int exponent = i < point ? point - i - 1 : point - i;
      sum += (c - '0') * PowerOfTen(exponent);
    } else {
      invalid = true;
    }
  }
  value = sum * sign;
  return invalid;
}

void DescribeTarget(int32_t featureToPredict, double targetWeight, TInputTable& table,
                    TTargetDescription& target) {
  const int32_t columns = table.FileColumns;
  const int32_t companion = columns + 1;
  // Exactly one part of the target is in use: the class part when the predicted column is
  // nominal, the numeric part otherwise. The other part points at the last column of the file.
  target.ClassFeature = target.RegressionFeature = featureToPredict;
  target.ErrorWeight = target.DispersionWeight = targetWeight;
  if (table.FeatureType[featureToPredict] == ftNumeric) {
    target.ErrorWeight = 0.0;
    target.ClassFeature = columns;
  } else {
    target.DispersionWeight = 0.0;
    target.RegressionFeature = columns;
  }
  target.ClassificationMode = target.ErrorWeight != 0.0;
  target.RegressionMode = target.DispersionWeight != 0.0;
  table.FeatureCount = companion;
  if (!target.RegressionMode) {
    table.FeatureType[companion] = ftNumeric;
    table.FeatureName[companion] = std::string("Y");
  }
  if (!target.ClassificationMode) {
    table.FeatureType[companion] = ftNominal;
    table.FeatureName[companion] = std::string("W");
    table.DeclaredValues[companion] = 1;
    table.ValueTable[companion] = {TValueRec{1, "1"}};
  }
  target.NumberOfClasses =
      target.ClassificationMode ? table.DeclaredValues[target.ClassFeature] : 0;
}

TableReader::TableReader(ReportFile& report, std::string fileName)
    : report_(report), fileName_(std::move(fileName)) {}

int TableReader::ReadChar() {
  // Code 26 ends the data for good, exactly like the end of the file.
  if (ended_ || position_ >= bytes_.size()) {
    ended_ = true;
    return kEndOfData;
  }
  const int c = static_cast<unsigned char>(bytes_[position_++]);
  if (c == kEndOfData) ended_ = true;
  return c;
}

bool TableReader::Fail(std::string_view message, bool endLine) {
  report_.Write(message);
  if (endLine) report_.EndLine();
  report_.Close();
  return false;
}

bool TableReader::ReadToken(bool& lineEnded, std::string& token) {
  lineEnded = false;
  token.clear();
  int c = 0;
  for (;;) {
    c = ReadChar();
    if (c == '#') inComment_ = !inComment_;
    if (c == kEndOfData) return Fail(" Error in input file: unexpected end of data", true);
    if (inComment_ || IsSeparator(c)) continue;
    break;
  }
  do {
    if (token.size() < kTokenLength) token.push_back(static_cast<char>(c));
    c = ReadChar();
  } while (!IsSeparator(c) && c != kEndOfData);
  inComment_ = c == '#';
  lineEnded = IsLineEnd(c);
  lineEnded_ = lineEnded;
  return true;
}

void TableReader::ReadWord(std::string& word, bool& lineEnded, bool& atEnd) {
  word.clear();
  atEnd = false;
  int c = ReadChar();
  while (IsBlank(c)) c = ReadChar();
  do {
    if (word.size() < kTokenLength) word.push_back(static_cast<char>(c));
    c = ReadChar();
  } while (!IsBlank(c) && c != kEndOfData);
  lineEnded = IsLineEnd(c);
  if (c == kEndOfData) atEnd = lineEnded = true;
}

bool TableReader::ReadNumber(double& value) {
  bool lineEnded = false;
  std::string token;
  if (!ReadToken(lineEnded, token)) return false;
  if (ParseNumber(token, value)) {
    return Fail(" Error in input file: " + token + " must be numeric", true);
  }
  return true;
}

void TableReader::SkipRestOfLine() {
  // Raw characters up to and including the first line end; a '#' here opens no comment, and a
  // comment opened by the last name's own ending '#' is closed with the discarded text.
  int c = ReadChar();
  while (!IsLineEnd(c) && c != kEndOfData) c = ReadChar();
  inComment_ = false;
}

bool TableReader::ReadTypes(TInputTable& table) {
  const int32_t m = table.FileColumns;
  bool lineEnded = false;
  std::string token;
  for (int32_t i = 1; i <= m; ++i) {
    if (!ReadToken(lineEnded, token)) return false;
    if (token == "1") {
      table.FeatureType[i] = ftNumeric;
      table.DeclaredValues[i] = 0;
      continue;
    }
    if (token.size() < 4 || token[0] != '0' || token[1] != '(') {
      return Fail("Error in input file: wrong feature types", true);
    }
    // The count is decoded on bytes, modulo 256, without testing for digits: 0(123) declares 12.
    const uint8_t first = static_cast<uint8_t>(token[2] - '0');
    uint8_t k = first;
    if (token[3] != ')')
      k = static_cast<uint8_t>(10 * first + static_cast<uint8_t>(token[3] - '0'));
    table.FeatureType[i] = ftNominal;
    table.DeclaredValues[i] = k;
    if (k > 12 && i < m - 1) {
      return Fail("Error in input file: too much values for " + FormatInteger(i, 3) + "-th feature",
                  true);
    }
  }
  return true;
}

bool TableReader::ReadRows(TInputTable& table, TDataTable& rowsTable, bool isPrediction,
                           int32_t columns, int32_t rows) {
  const std::string prefix = isPrediction ? "Prediction: " : "";
  if (!isPrediction) {
    for (int32_t c = 1; c <= columns; ++c) {
      for (TValueRec& entry : table.ValueTable[c]) entry.Text.clear();
    }
  }
  bool lineEnded = false;
  std::string token;
  for (int32_t r = 1; r <= rows; ++r) {
    for (int32_t c = 1; c <= columns; ++c) {
      if (!ReadToken(lineEnded, token)) return false;
      if (lineEnded && c != 1 && c != columns) {
        return Fail(
            prefix + " Error in input file: row " + FormatInteger(r, 3) + " unexpected end of data",
            true);
      }
      if (token == table.MissingToken) {
        rowsTable[c][r] = MissingCode;
      } else if (table.FeatureType[c] == ftNominal) {
        int32_t code = 0;
        for (TValueRec& entry : table.ValueTable[c]) {
          if (entry.Text == token) {
            code = entry.Code;
            break;
          }
          if (entry.Text.empty()) {
            entry.Text = token;
            code = entry.Code;
            break;
          }
        }
        if (code == 0) {
          return Fail(prefix + "Error in input file row " + FormatInteger(r, 3) + " column " +
                          FormatInteger(c, 3) + " :too much values",
                      true);
        }
        rowsTable[c][r] = code;
      } else {
        double value = 0.0;
        if (ParseNumber(token, value)) {
          return Fail(prefix + "Error in input file row " + FormatInteger(r, 3) + " column " +
                          FormatInteger(c, 3) + " :wrong value " + token,
                      true);
        }
        // The value 9999 stands for a missing value in a table file.
        rowsTable[c][r] = value == kFileMissingNumber ? MissingCode : value;
      }
    }
  }
  return true;
}

bool TableReader::LoadTrainingPart(int32_t featureToPredict, double targetWeight,
                                   TInputTable& table, TTargetDescription& target,
                                   TFeatureMask& predictorMask) {
  const TFileRead read = ReadFileBytes(fileName_, bytes_, kMaxTableBytes);
  if (read.TooLarge) return Fail(" Error in input file: the file is larger than 256 MB", true);
  if (!read) {
    report_.Line("No input file found.");
    report_.Line("Please, see TARVO.TXT file for more information.");
    report_.Close();
    return false;
  }

  double n = 0.0, m = 0.0;
  bool lineEnded = false;
  if (!ReadNumber(n) || !ReadNumber(m) || !ReadToken(lineEnded, table.MissingToken)) return false;
  // Counts are compared before they are narrowed, so no count outside 32 bits is converted.
  n = std::trunc(n);
  m = std::trunc(m);
  if (n > kMaxObjects) return Fail(" Error: too much objects", false);
  if (m > kMaxFileColumns) return Fail(" Error: too much features", false);
  if (featureToPredict < 1 || featureToPredict > m) {
    return Fail(" Error: wrong number of predicted feature", false);
  }
  if (n < 1) return Fail(" Error: number of objects below 1", false);
  const int32_t objects = static_cast<int32_t>(n);
  const int32_t columns = static_cast<int32_t>(m);
  table.ObjectCount = objects;
  table.FileColumns = columns;

  const int32_t companion = columns + 1;
  table.FeatureType.assign(companion + 1, ftNumeric);
  table.DeclaredValues.assign(companion + 1, 0);
  table.ValueTable.assign(companion + 1, {});
  table.FeatureName.assign(companion + 1, std::string());
  for (int32_t f = 1; f <= kMaxFeatures; ++f) predictorMask[f] = f <= columns;
  predictorMask[featureToPredict] = false;

  if (!ReadTypes(table)) return false;
  for (int32_t f = 1; f <= columns; ++f) {
    table.ValueTable[f].resize(table.DeclaredValues[f]);
    for (int32_t j = 1; j <= table.DeclaredValues[f]; ++j) table.ValueTable[f][j - 1].Code = j;
  }
  for (int32_t f = 1; f <= columns; ++f) {
    if (!ReadToken(lineEnded, table.FeatureName[f])) return false;
  }
  if (!lineEnded) SkipRestOfLine();

  DescribeTarget(featureToPredict, targetWeight, table, target);
  if (target.NumberOfClasses > kMaxClasses) {
    return Fail("Error in input file: too much classes", true);
  }

  table.Data.assign(companion + 1, std::vector<double>(objects + 1, 0.0));
  if (!ReadRows(table, table.Data, false, columns, objects)) return false;
  for (int32_t o = 1; o <= objects; ++o) table.Data[companion][o] = 1.0;
  target.ClassNames.assign(target.NumberOfClasses + 1, std::string());
  for (int32_t j = 1; j <= target.NumberOfClasses; ++j) {
    target.ClassNames[j] = table.ValueTable[target.ClassFeature][j - 1].Text;
  }
  return true;
}

bool TableReader::LoadPredictionSection(TInputTable& table) {
  table.PredictCount = 0;
  std::string word;
  bool lineEnded = false, atEnd = false, found = false;
  for (;;) {
    ReadWord(word, lineEnded, atEnd);
    if (word == "Predict" || word == "predict") {
      found = true;
      break;
    }
    if (atEnd) break;
  }
  if (!found || atEnd) return true;

  ReadWord(word, lineEnded, atEnd);
  double count = 0.0;
  if (ParseNumber(word, count)) {
    return Fail("Error in input file: wrong number of predicting data", true);
  }
  count = std::trunc(count);
  if (count > kMaxObjects) return Fail(" Error: too much objects for prediction", false);
  const int32_t rows = count < 0 ? 0 : static_cast<int32_t>(count);
  const int32_t companion = table.FeatureCount;
  table.PredictData.assign(companion + 1, std::vector<double>(rows + 1, 0.0));
  if (!ReadRows(table, table.PredictData, true, table.FileColumns, rows)) return false;
  for (int32_t k = 1; k <= rows; ++k) table.PredictData[companion][k] = 1.0;
  table.PredictCount = rows;
  return true;
}

bool TableReader::LoadHeader(TInputTable& table) {
  if (!ReadFileBytes(fileName_, bytes_, kMaxTableBytes)) return Fail("No input file found.", true);
  double n = 0.0, m = 0.0;
  bool lineEnded = false;
  if (!ReadNumber(n) || !ReadNumber(m) || !ReadToken(lineEnded, table.MissingToken)) return false;
  m = std::trunc(m);
  if (m < 1 || m > kMaxFileColumns) return Fail(" Error: too much features", false);
  const int32_t columns = static_cast<int32_t>(m);
  table.FileColumns = columns;
  table.FeatureType.assign(columns + 1, ftNumeric);
  table.DeclaredValues.assign(columns + 1, 0);
  table.FeatureName.assign(columns + 1, std::string());
  if (!ReadTypes(table)) return false;
  for (int32_t f = 1; f <= columns; ++f) {
    if (!ReadToken(lineEnded, table.FeatureName[f])) return false;
  }
  return true;
}

}  // namespace tarvo
