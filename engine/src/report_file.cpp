// The report file: bytes written through stdio, every failed write or close an engine error.
#include "report_file.h"

#include <cerrno>

#include "system_error_text.h"
#include "tarvo/engine.h"

namespace tarvo {

ReportFile::~ReportFile() {
  if (file_) std::fclose(file_);
}

bool ReportFile::Open(const std::string& path) {
  if (file_) std::fclose(file_);
  path_ = path;
  firstLine_.clear();
  firstLineEnded_ = false;
  file_ = std::fopen(path.c_str(), "wb");
  return file_ != nullptr;
}

void ReportFile::Write(std::string_view text) {
  if (!firstLineEnded_) {
    const size_t end = text.find('\r');
    firstLine_.append(text.substr(0, end));
    firstLineEnded_ = end != std::string_view::npos;
  }
  if (!file_ || text.empty()) return;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) FailWrite(errno);
}

void ReportFile::Close() {
  if (!file_) return;
  std::FILE* file = file_;
  file_ = nullptr;
  errno = 0;
  // A full disk often shows only here, when the buffered bytes go out.
  const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
  const int flushError = errno;
  const bool closed = std::fclose(file) == 0;
  if (!flushed) FailWrite(flushError);
  if (!closed) FailWrite(errno);
}

void ReportFile::FailWrite(int error) {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  throw EngineError("Cannot write file " + path_ + WithSystemReason(error));
}

}  // namespace tarvo
