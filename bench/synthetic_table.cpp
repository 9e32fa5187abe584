// Seeded synthetic input tables with a learnable target: a few features carry the signal,
// the rest are noise, and some values are missing.
#include "synthetic_table.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace tarvo::synthetic {

uint64_t SplitMix64::Next() {
  state_ += 0x9E3779B97F4A7C15ull;
  uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double SplitMix64::Uniform() {
  return static_cast<double>(Next() >> 11) * 0x1.0p-53;
}

uint32_t SplitMix64::Below(uint32_t k) {
  // The upper bits of a 64 x 32 bit product: no modulo bias worth speaking of for small k.
  return static_cast<uint32_t>(((Next() >> 32) * static_cast<uint64_t>(k)) >> 32);
}

namespace {

enum class ColumnKind { kContinuous, kInteger, kNominal };

constexpr int32_t kSignalColumns = 4;

struct Column {
  ColumnKind kind = ColumnKind::kContinuous;
  int32_t values = 0;  // declared number of values of a nominal column
};

// Predictor i (1-based): every third one nominal with 2..12 values when asked for, every
// fourth of the others a small whole number, the rest reals with three decimals.
Column PredictorColumn(const TableShape& shape, int32_t i) {
  if (shape.nominalPredictors && i % 3 == 0) {
    return {ColumnKind::kNominal, 2 + (i / 3 + 2) % 11};
  }
  if (i % 4 == 0) return {ColumnKind::kInteger, 0};
  return {ColumnKind::kContinuous, 0};
}

// A sum of four uniforms, centred and scaled to unit variance: close enough to normal noise.
double Noise(SplitMix64& random) {
  double sum = 0.0;
  for (int k = 0; k < 4; ++k) sum += random.Uniform();
  return (sum - 2.0) * 1.7320508075688772;
}

// One object before the target is turned into text. Predictor values are kept as the numbers
// the file shows: thousandths for reals, whole numbers, nominal codes 0..k-1.
struct Object {
  std::vector<int64_t> value;  // [1..columns-1]
  std::vector<bool> missing;   // [1..columns-1]
  double signal = 0.0;         // the target before classes are cut, or the numeric target
  bool targetMissing = false;
  bool relabel = false;  // classification: the class is replaced by a random one
  int32_t randomClass = 0;
};

double Real(const Column& column, int64_t value) {
  return column.kind == ColumnKind::kContinuous ? static_cast<double>(value) / 1000.0
                                                : static_cast<double>(value);
}

// The part of the target that columns 1 to 4 explain, as step and linear effects.
double Signal(const TableShape& shape, const std::vector<Column>& columns, const Object& o) {
  const double x1 = Real(columns[1], o.value[1]);
  const double x2 = Real(columns[2], o.value[2]);
  const double x4 = Real(columns[4], o.value[4]);
  double third = 0.0;
  if (columns[3].kind == ColumnKind::kNominal) {
    third = static_cast<double>(o.value[3] % 3);
  } else {
    third = Real(columns[3], o.value[3]) > 50.0 ? 1.0 : 0.0;
  }
  if (shape.target == TargetKind::kClasses) {
    return 0.04 * x1 + (x2 > 40.0 ? 1.2 : 0.0) + 0.8 * third + (x4 >= 15.0 ? 0.7 : 0.0);
  }
  return (x1 > 30.0 ? 10.0 : 0.0) + 0.15 * x2 + 3.0 * third + (x4 >= 15.0 ? 4.0 : 0.0);
}

Object DrawObject(const TableShape& shape, const std::vector<Column>& columns, SplitMix64& random) {
  const int32_t predictors = shape.columns - 1;
  Object o;
  o.value.assign(predictors + 1, 0);
  o.missing.assign(predictors + 1, false);
  for (int32_t i = 1; i <= predictors; ++i) {
    switch (columns[i].kind) {
      case ColumnKind::kContinuous:
        o.value[i] = static_cast<int64_t>(random.Below(100000)) - 20000;  // -20.000..79.999
        break;
      case ColumnKind::kInteger:
        o.value[i] = random.Below(31);
        break;
      case ColumnKind::kNominal:
        o.value[i] = random.Below(static_cast<uint32_t>(columns[i].values));
        break;
    }
    o.missing[i] = random.Chance(shape.missingShare);
  }
  const double noise = Noise(random);
  o.signal = Signal(shape, columns, o) + (shape.target == TargetKind::kClasses ? 0.5 : 2.0) * noise;
  o.targetMissing = random.Chance(shape.missingTargetShare);
  o.relabel = random.Chance(0.08);
  o.randomClass = static_cast<int32_t>(random.Below(static_cast<uint32_t>(shape.classes)));
  return o;
}

std::string FormatThousandths(int64_t value) {
  char text[32];
  const int64_t magnitude = value < 0 ? -value : value;
  std::snprintf(text, sizeof text, "%s%lld.%03lld", value < 0 ? "-" : "",
                static_cast<long long>(magnitude / 1000), static_cast<long long>(magnitude % 1000));
  return text;
}

// Appends the pieces in order (g++ 12 warns falsely on "literal" + std::string chains).
void AppendAll(std::string& text, std::initializer_list<std::string_view> pieces) {
  for (std::string_view piece : pieces) text += piece;
}

// A table file holds at most 500 objects and 500 to predict; a CSV table any number, but no
// prediction section.
void CheckShape(const TableShape& shape, bool csv) {
  const int32_t most = csv ? INT32_MAX - 1 : 500;
  if (shape.objects < 1 || shape.objects > most || shape.predictObjects < 0 ||
      shape.predictObjects > (csv ? 0 : 500)) {
    throw std::invalid_argument("synthetic table: objects out of range");
  }
  if (shape.columns < kSignalColumns + 1 || shape.columns > 59) {
    throw std::invalid_argument("synthetic table: columns out of range");
  }
  if (shape.target == TargetKind::kClasses && (shape.classes < 2 || shape.classes > 12)) {
    throw std::invalid_argument("synthetic table: classes out of range");
  }
}

}  // namespace

namespace {

std::string WriteTable(const TableShape& shape, bool csv) {
  CheckShape(shape, csv);
  const char separator = csv ? ',' : ' ';
  const int32_t predictors = shape.columns - 1;
  std::vector<Column> columns(predictors + 1);
  for (int32_t i = 1; i <= predictors; ++i) columns[i] = PredictorColumn(shape, i);

  SplitMix64 random(shape.seed);
  std::vector<Object> objects;
  for (int32_t o = 0; o < shape.objects + shape.predictObjects; ++o) {
    objects.push_back(DrawObject(shape, columns, random));
  }

  // Classes are cut at the quantiles of the training objects' signal, so they are about equal
  // in size; the prediction rows use the same cuts.
  std::vector<double> cuts;
  if (shape.target == TargetKind::kClasses) {
    std::vector<double> sorted;
    for (int32_t o = 0; o < shape.objects; ++o) sorted.push_back(objects[o].signal);
    std::sort(sorted.begin(), sorted.end());
    for (int32_t c = 1; c < shape.classes; ++c) {
      cuts.push_back(sorted[static_cast<size_t>(c) * sorted.size() / shape.classes]);
    }
  }

  std::string text;
  if (!csv) {
    AppendAll(text, {std::to_string(shape.objects), " ", std::to_string(shape.columns), " ?\r\n"});
  }
  for (int32_t i = 1; !csv && i <= predictors; ++i) {
    if (columns[i].kind == ColumnKind::kNominal) {
      AppendAll(text, {"0(", std::to_string(columns[i].values), ") "});
    } else {
      text += "1 ";
    }
  }
  if (!csv && shape.target == TargetKind::kClasses) {
    AppendAll(text, {"0(", std::to_string(shape.classes), ")\r\n"});
  } else if (!csv) {
    text += "1\r\n";
  }
  for (int32_t i = 1; i <= predictors; ++i) {
    AppendAll(text, {"x", std::to_string(i), std::string(1, separator)});
  }
  text += shape.target == TargetKind::kClasses ? "class\r\n" : "y\r\n";

  auto writeRow = [&](const Object& o) {
    for (int32_t i = 1; i <= predictors; ++i) {
      if (o.missing[i]) {
        text += "?";
      } else if (columns[i].kind == ColumnKind::kContinuous) {
        text += FormatThousandths(o.value[i]);
      } else if (columns[i].kind == ColumnKind::kInteger) {
        text += std::to_string(o.value[i]);
      } else {
        text += static_cast<char>('a' + o.value[i]);
      }
      text += separator;
    }
    if (o.targetMissing) {
      text += "?";
    } else if (shape.target == TargetKind::kClasses) {
      int32_t cls = 0;
      while (cls < static_cast<int32_t>(cuts.size()) && o.signal >= cuts[cls]) ++cls;
      if (o.relabel) cls = o.randomClass;
      AppendAll(text, {"c", std::to_string(cls + 1)});
    } else {
      char number[64];
      std::snprintf(number, sizeof number, "%.3f", o.signal);
      text += number;
    }
    text += "\r\n";
  };

  for (int32_t o = 0; o < shape.objects; ++o) writeRow(objects[o]);
  if (shape.predictObjects > 0) {
    AppendAll(text, {"Predict ", std::to_string(shape.predictObjects), "\r\n"});
    for (int32_t o = shape.objects; o < shape.objects + shape.predictObjects; ++o) {
      writeRow(objects[o]);
    }
  }
  return text;
}

}  // namespace

std::string MakeTable(const TableShape& shape) {
  return WriteTable(shape, false);
}

std::string MakeCsvTable(const TableShape& shape) {
  return WriteTable(shape, true);
}

}  // namespace tarvo::synthetic
