// Number texts shared by every file the program writes and reads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo {

// A real in fixed-point notation with exactly `decimals` digits, rounded from its exact binary
// value (a true tie goes to the even digit), padded with blanks on the left to `width` and never
// cut. A zero never carries a minus sign; a negative value that rounds to zero keeps it.
std::string FormatReal(double value, int width, int decimals);

// An integer in decimal, padded with blanks on the left to `width`, never cut.
std::string FormatInteger(int64_t value, int width);

// Converts a whole token of the whitespace-separated number files: optional sign, digits with an
// optional decimal point (at least one digit in all), optional exponent. False when the token is
// not such a number or overflows a double.
bool ParseRealToken(std::string_view token, double& value);

// Converts a whole token as an optional sign and decimal digits within 32 bits.
bool ParseIntegerToken(std::string_view token, int32_t& value);

}  // namespace tarvo
