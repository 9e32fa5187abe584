// Seeded synthetic input tables: the same seed gives the same bytes on every build and library,
// so benchmark figures (and tests that reuse these tables) always see the same data.
#pragma once

#include <cstdint>
#include <string>

namespace tarvo::synthetic {

// splitmix64: a tiny generator whose every output is fixed by its seed. Library random
// distributions are not used, as their output may change between library versions.
class SplitMix64 {
 public:
  explicit SplitMix64(uint64_t seed) : state_(seed) {}

  uint64_t Next();
  // A real in [0, 1) with 53 random bits.
  double Uniform();
  // A whole number in 0..k-1 (k >= 1).
  uint32_t Below(uint32_t k);
  // True with probability p.
  bool Chance(double p) { return Uniform() < p; }

 private:
  uint64_t state_;
};

enum class TargetKind { kClasses, kNumber };

// What the table looks like. The last file column is the predicted feature: nominal with
// `classes` values for kClasses, numeric for kNumber. The predictors before it are numeric,
// with every third one nominal (2 to 12 values) when nominalPredictors is set. The target
// depends on columns 1 to 4 with noise; the other predictors are noise.
struct TableShape {
  TargetKind target = TargetKind::kClasses;
  int32_t objects = 100;  // training rows, 1..500 (any number in CSV)
  int32_t columns = 10;   // file columns, 5..59
  bool nominalPredictors = true;
  int32_t classes = 4;         // 2..12, classification only
  int32_t predictObjects = 0;  // rows of the prediction section; 0 writes none
  double missingShare = 0.03;  // share of missing predictor values
  double missingTargetShare = 0.01;
  uint64_t seed = 1;
};

// The table text: counts and missing token "?", type tokens, names, rows, and the
// "Predict P" section when asked for. Lines end with CR LF.
std::string MakeTable(const TableShape& shape);

// The same objects as CSV: a header of names, the rows with commas, "?" for a missing value, no
// prediction section. Any number of objects.
std::string MakeCsvTable(const TableShape& shape);

}  // namespace tarvo::synthetic
