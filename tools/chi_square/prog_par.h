// The text of prog.par: upper critical values of the chi-square distribution, one level per line.
#pragma once

#include <string>
#include <vector>

namespace tarvo::chisq {

// The levels of the four lines, in file order.
const std::vector<double>& ProgParLevels();

// The degrees of freedom of each line's numbers, in file order: 1..30, then 32, 34, ..., 70.
std::vector<int> ProgParDegreesOfFreedom();

// One line: the critical values at `level` for ProgParDegreesOfFreedom(), three decimals each,
// separated by one blank, ended by LF.
std::string ProgParLine(double level);

// The whole file: ProgParLine for each of ProgParLevels().
std::string ProgParText();

}  // namespace tarvo::chisq
