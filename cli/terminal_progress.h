// Progress of a run for a person watching a terminal: the two status panels on one line.
#pragma once

#include <string>

#include "tarvo/engine.h"

class TerminalProgress : public tarvo::ProgressSink {
 public:
  void SetPanelText(int panel, const std::string& text) override;
  void Repaint() override;
  // Ends the progress line when a run stops before it has cleared its panels.
  void EndLine();

 private:
  std::string node_, fold_;
  bool shown_ = false;
};
