// output.txt: every text of a run goes through this one channel; lines end with CR LF.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace tarvo {

class ReportFile {
 public:
  ReportFile() = default;
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;
  // Closes without a word: a run that ends on an exception has its error already.
  ~ReportFile();

  // Creates or empties the file; false when it cannot be created (errno says why).
  bool Open(const std::string& path);
  // Throws EngineError, naming the file and the system's reason, when the bytes cannot be written.
  void Write(std::string_view text);
  void EndLine() { Write("\r\n"); }
  void Line(std::string_view text) {
    Write(text);
    EndLine();
  }
  // Writes out what is buffered and closes the file; throws EngineError as Write does.
  void Close();
  // The first line written since Open, without its line end (a fault message, for the caller).
  const std::string& FirstLine() const { return firstLine_; }

 private:
  [[noreturn]] void FailWrite(int error);

  std::FILE* file_ = nullptr;
  std::string path_;
  std::string firstLine_;
  bool firstLineEnded_ = false;
};

}  // namespace tarvo
