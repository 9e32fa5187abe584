// Critical values of the chi-square test by degrees of freedom, from prog.par.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvo {

// Builds entries 1..max(objectCount, 70) (entry 0 unused) for the level
// levelPerMille = Trunc(Homogeneity x 1000): the file's line for the level, midpoints for the odd
// degrees of freedom 31..69, and the normal approximation beyond the file up to objectCount.
// Throws EngineError when the file is missing or holds a token that is not a number. When the
// level's line is missing, short or all zeros, a line saying so goes to warnings (when given).
std::vector<double> BuildChiSquareTable(const std::string& path, int32_t levelPerMille,
                                        int32_t objectCount,
                                        std::vector<std::string>* warnings = nullptr);

// The approximation (sqrt(2f - 1) + z)^2 / 2 for f degrees of freedom.
double ApproximateChiSquare(int32_t degreesOfFreedom, double z);

}  // namespace tarvo
