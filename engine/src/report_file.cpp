#include "report_file.h"

namespace tarvo {

bool ReportFile::Open(const std::string& path) {
  Close();
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
  if (file_ && !text.empty()) std::fwrite(text.data(), 1, text.size(), file_);
}

void ReportFile::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

}  // namespace tarvo
