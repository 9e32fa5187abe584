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
  ~ReportFile() { Close(); }

  // Creates or empties the file; false when it cannot be created.
  bool Open(const std::string& path);
  void Write(std::string_view text);
  void EndLine() { Write("\r\n"); }
  void Line(std::string_view text) {
    Write(text);
    EndLine();
  }
  void Close();
  // The first line written since Open, without its line end (a fault message, for the caller).
  const std::string& FirstLine() const { return firstLine_; }

 private:
  std::FILE* file_ = nullptr;
  std::string firstLine_;
  bool firstLineEnded_ = false;
};

}  // namespace tarvo
