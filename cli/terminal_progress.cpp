// The progress line on stderr, rewritten in place with a carriage return.
#include "terminal_progress.h"

#include <cstdio>

void TerminalProgress::SetPanelText(int panel, const std::string& text) {
  if (panel == 1) node_ = text;
  if (panel == 2) fold_ = text;
}

void TerminalProgress::Repaint() {
  std::fprintf(stderr, "\r%-20s%-24s", node_.c_str(), fold_.c_str());
  shown_ = !node_.empty() || !fold_.empty();
  if (!shown_) std::fputs("\r", stderr);
  std::fflush(stderr);
}

void TerminalProgress::EndLine() {
  if (shown_) std::fputs("\n", stderr);
  shown_ = false;
}
