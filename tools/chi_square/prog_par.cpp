#include "prog_par.h"

#include <cstdio>

#include "chi_square_quantile.h"

namespace tarvo::chisq {

const std::vector<double>& ProgParLevels() {
  static const std::vector<double> levels = {0.001, 0.005, 0.01, 0.05};
  return levels;
}

std::vector<int> ProgParDegreesOfFreedom() {
  std::vector<int> degrees;
  for (int f = 1; f <= 30; ++f) degrees.push_back(f);
  for (int f = 32; f <= 70; f += 2) degrees.push_back(f);
  return degrees;
}

std::string ProgParLine(double level) {
  std::string line;
  for (const int f : ProgParDegreesOfFreedom()) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", ChiSquareUpperQuantile(f, level));
    if (!line.empty()) line += ' ';
    line += text;
  }
  line += '\n';
  return line;
}

std::string ProgParText() {
  std::string text;
  for (const double level : ProgParLevels()) text += ProgParLine(level);
  return text;
}

}  // namespace tarvo::chisq
