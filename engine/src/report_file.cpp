#include "report_file.h"

namespace tarvo {

bool ReportFile::Open(const std::string& path) {
  Close();
  file_ = std::fopen(path.c_str(), "wb");
  return file_ != nullptr;
}

void ReportFile::Write(std::string_view text) {
  if (file_ && !text.empty()) std::fwrite(text.data(), 1, text.size(), file_);
}

void ReportFile::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

}  // namespace tarvo
