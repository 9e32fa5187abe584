// Fixed-width number text and the token grammar of the whitespace-separated number files.
#include "tarvo/numbers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace tarvo {

namespace {

std::string PadLeft(std::string_view text, int width) {
  std::string out;
  if (width > 0 && static_cast<int>(text.size()) < width) out.assign(width - text.size(), ' ');
  out.append(text);
  return out;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Whether a valid unsigned number text (digits, point, exponent) is at least 1 in magnitude:
// decides between overflow and underflow when the conversion is out of range.
bool ExceedsOne(std::string_view body) {
  int64_t position = 0;  // decimal exponent of the first non-zero digit, plus one
  bool seenPoint = false, seenNonZero = false;
  size_t i = 0;
  for (; i < body.size() && body[i] != 'e' && body[i] != 'E'; ++i) {
    if (body[i] == '.') {
      seenPoint = true;
    } else if (!seenNonZero) {
      if (body[i] != '0') {
        seenNonZero = true;
        if (!seenPoint) position = 1;
      } else if (seenPoint) {
        --position;
      }
    } else if (!seenPoint) {
      ++position;
    }
  }
  if (!seenNonZero) return false;
  int64_t exponent = 0;
  bool negativeExponent = false;
  if (i < body.size()) {
    ++i;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) negativeExponent = body[i++] == '-';
    for (; i < body.size(); ++i)
      exponent = std::min<int64_t>(exponent * 10 + (body[i] - '0'), 1'000'000'000);
  }
  return position + (negativeExponent ? -exponent : exponent) > 0;
}

}  // namespace

std::string FormatReal(double value, int width, int decimals) {
  if (value == 0.0) value = 0.0;  // -0.0 prints without its sign
  if (decimals < 0) decimals = 0;
  // to_chars is locale-free and rounds from the exact binary value like printf("%.*f").
  std::array<char, 400> buffer;
  std::string text;
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                              std::chars_format::fixed, decimals);
  if (result.ec == std::errc()) {
    text.assign(buffer.data(), result.ptr);
  } else {
    // Only huge precisions land here; fall back to a heap buffer of the exact size.
    std::string big(static_cast<size_t>(decimals) + 400, '\0');
    result = std::to_chars(big.data(), big.data() + big.size(), value, std::chars_format::fixed,
                           decimals);
    text.assign(big.data(), result.ptr);
  }
  return PadLeft(text, width);
}

std::string FormatInteger(int64_t value, int width) {
  return PadLeft(std::to_string(value), width);
}

bool ParseRealToken(std::string_view token, double& value) {
  size_t i = 0;
  bool negative = false;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
    negative = token[i] == '-';
    ++i;
  }
  const size_t numberStart = i;
  size_t digits = 0;
  while (i < token.size() && IsDigit(token[i])) ++i, ++digits;
  if (i < token.size() && token[i] == '.') {
    ++i;
    while (i < token.size() && IsDigit(token[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
    ++i;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
    size_t exponentDigits = 0;
    while (i < token.size() && IsDigit(token[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  if (i != token.size()) return false;

  // from_chars takes no '+' and no leading sign here; it is applied afterwards.
  std::string body(token.substr(numberStart));
  if (body.front() == '.') body.insert(body.begin(), '0');
  double magnitude = 0.0;
  auto result = std::from_chars(body.data(), body.data() + body.size(), magnitude,
                                std::chars_format::general);
  if (result.ptr != body.data() + body.size()) return false;
  if (result.ec == std::errc::result_out_of_range) {
    // An overflow is no number; an underflow reads as zero.
    if (ExceedsOne(body)) return false;
    magnitude = 0.0;
  } else if (result.ec != std::errc() || std::isinf(magnitude)) {
    return false;
  }
  value = negative ? -magnitude : magnitude;
  return true;
}

bool ParseIntegerToken(std::string_view token, int32_t& value) {
  size_t i = 0;
  bool negative = false;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
    negative = token[i] == '-';
    ++i;
  }
  if (i == token.size()) return false;
  int64_t magnitude = 0;
  for (; i < token.size(); ++i) {
    if (!IsDigit(token[i])) return false;
    magnitude = magnitude * 10 + (token[i] - '0');
    if (magnitude > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
  }
  const int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue > std::numeric_limits<int32_t>::max()) return false;
  value = static_cast<int32_t>(signedValue);
  return true;
}

}  // namespace tarvo
