// Where the report goes: a file, or standard output through a temporary file that the run writes
// and that is copied out once the run is complete.
#pragma once

#include <string>

class ReportOutput {
 public:
  // `destination` is a file name, or "-" for standard output.
  explicit ReportOutput(std::string destination);
  ReportOutput(const ReportOutput&) = delete;
  ReportOutput& operator=(const ReportOutput&) = delete;
  ~ReportOutput();

  // The file the run writes; empty when the temporary file could not be made (see Error()).
  const std::string& FileName() const { return fileName_; }
  // Copies a finished report to standard output when that is the destination. False on a failed
  // read or write, with the reason in Error().
  bool Deliver();
  const std::string& Error() const { return error_; }

 private:
  bool toStandardOutput_ = false;
  std::string fileName_;
  std::string error_;
};
