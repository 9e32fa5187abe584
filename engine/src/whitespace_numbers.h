// Reading numbers separated by whitespace (param.par and prog.par).
#pragma once

#include <cstdint>
#include <string>

namespace tarvo {

class WhitespaceNumberReader {
 public:
  enum class Outcome { Value, EndOfFile, NotANumber };

  explicit WhitespaceNumberReader(std::string bytes) : bytes_(std::move(bytes)) {}

  // Skips characters with codes 0 to 32 and converts the following token: at most 64
  // characters for a real and 32 for an integer, a longer run being read as further values.
  // At the end of the file the value is 0 and the outcome EndOfFile.
  Outcome ReadReal(double& value);
  Outcome ReadInteger(int32_t& value);

  // Skips the rest of the current line: up to LF, CR LF, or a CR not followed by LF.
  void SkipLine();

  // The token of the last read, empty at the end of the file: the text of a value that did not
  // convert, for a message.
  const std::string& LastToken() const { return token_; }

 private:
  bool NextToken(size_t maxLength);

  std::string bytes_;
  size_t position_ = 0;
  std::string token_;
};

}  // namespace tarvo
