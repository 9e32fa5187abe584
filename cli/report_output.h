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
  bool ToStandardOutput() const { return descriptor_ >= 0; }
  // Copies a finished report to standard output when that is the destination. False on a failed
  // read or write, with the reason in Error().
  bool Deliver();
  // Ends the part of a stopped run's report with the line that says it is incomplete (nothing is
  // written to standard output). False, with the reason in Error(), when the line cannot be added.
  bool MarkStopped();
  const std::string& Error() const { return error_; }

 private:
  // The temporary report of standard output, removed from its folder as soon as it is made, so
  // that nothing is left behind whatever ends the process.
  int descriptor_ = -1;
  std::string fileName_;
  std::string error_;
};

// The last line of a report that a stopped run left (the window's own words).
inline constexpr const char* kStoppedReportLine = "The run was stopped: this report is incomplete.";
