// output.txt: every text of a run goes through this one channel; lines end with CR LF. The file
// is replaced whole on Close: a run that fails leaves the previous report as it was.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "tarvo/atomic_file.h"

namespace tarvo {

class ReportFile {
 public:
  ReportFile() = default;
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;
  // Drops what was written without a word: a run that ends on an exception has its error already.
  ~ReportFile() = default;

  // Starts the file (see AtomicFile); false when it cannot be created (errno says why).
  bool Open(const std::string& path);
  // Throws EngineError, naming the file and the system's reason, when the bytes cannot be written.
  void Write(std::string_view text);
  void EndLine() { Write("\r\n"); }
  void Line(std::string_view text) {
    Write(text);
    EndLine();
  }
  // Writes out what is buffered and puts the file in place; throws EngineError as Write does.
  void Close();
  // Puts the part written so far in place, for a run that was stopped; a failure is not reported
  // (the run has ended on its own exception).
  void KeepPart();
  // The first line written since Open, without its line end (a fault message, for the caller).
  const std::string& FirstLine() const { return firstLine_; }

 private:
  [[noreturn]] void FailWrite(int error);

  AtomicFile file_;
  bool open_ = false;
  std::string path_;
  std::string firstLine_;
  bool firstLineEnded_ = false;
};

}  // namespace tarvo
