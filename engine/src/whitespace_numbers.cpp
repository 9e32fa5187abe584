// Tokens of the whitespace-separated number files and the line skip of prog.par.
#include "whitespace_numbers.h"

#include "tarvo/numbers.h"

namespace tarvo {

namespace {
bool IsSpace(char c) {
  return static_cast<unsigned char>(c) <= 32;
}
}  // namespace

bool WhitespaceNumberReader::NextToken(size_t maxLength) {
  token_.clear();
  while (position_ < bytes_.size() && IsSpace(bytes_[position_])) ++position_;
  if (position_ >= bytes_.size()) return false;
  const size_t start = position_;
  while (position_ < bytes_.size() && !IsSpace(bytes_[position_]) &&
         position_ - start < maxLength) {
    ++position_;
  }
  token_.assign(bytes_, start, position_ - start);
  return true;
}

WhitespaceNumberReader::Outcome WhitespaceNumberReader::ReadReal(double& value) {
  value = 0.0;
  if (!NextToken(64)) return Outcome::EndOfFile;
  double parsed = 0.0;
  if (!ParseRealToken(token_, parsed)) return Outcome::NotANumber;
  value = parsed;
  return Outcome::Value;
}

WhitespaceNumberReader::Outcome WhitespaceNumberReader::ReadInteger(int32_t& value) {
  value = 0;
  if (!NextToken(32)) return Outcome::EndOfFile;
  int32_t parsed = 0;
  if (!ParseIntegerToken(token_, parsed)) return Outcome::NotANumber;
  value = parsed;
  return Outcome::Value;
}

void WhitespaceNumberReader::SkipLine() {
  while (position_ < bytes_.size()) {
    const char c = bytes_[position_++];
    if (c == '\n') return;
    if (c == '\r') {
      if (position_ < bytes_.size() && bytes_[position_] == '\n') ++position_;
      return;
    }
  }
}

}  // namespace tarvo
