// The report file: bytes written through stdio, every failed write or close an engine error.
#include "report_file.h"

#include <cerrno>

#include "system_error_text.h"
#include "tarvo/engine.h"

namespace tarvo {

bool ReportFile::Open(const std::string& path) {
  path_ = path;
  firstLine_.clear();
  firstLineEnded_ = false;
  open_ = file_.Open(path);
  return open_;
}

void ReportFile::Write(std::string_view text) {
  if (!firstLineEnded_) {
    const size_t end = text.find('\r');
    firstLine_.append(text.substr(0, end));
    firstLineEnded_ = end != std::string_view::npos;
  }
  if (!open_ || text.empty()) return;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), file_.Stream()) != text.size()) FailWrite(errno);
}

void ReportFile::Close() {
  if (!open_) return;
  open_ = false;
  // A full disk often shows only here, when the buffered bytes go out.
  if (const int error = file_.Commit(); error != 0) FailWrite(error);
}

void ReportFile::KeepPart() {
  if (!open_) return;
  open_ = false;
  file_.Commit();
}

void ReportFile::FailWrite(int error) {
  open_ = false;
  file_.Discard();
  throw EngineError("Cannot write file " + path_ + WithSystemReason(error));
}

}  // namespace tarvo
