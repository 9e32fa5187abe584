// The learning engine's one entry: a run reads a table, grows trees and writes output.txt.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarvo {

// An error that ends a run before its report is complete (a missing or unreadable prog.par,
// a report file that cannot be created). what() is the text the user sees.
class EngineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The engine's only way to the window: the texts of status panels 1 and 2 and an
// immediate repaint, so progress shows while the run blocks the caller. Both are always called on
// the thread that called RunEngine (worker threads of the search never report progress).
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetPanelText(int panel, const std::string& text) = 0;
  virtual void Repaint() = 0;
};

// Runs the engine once on inputFileName with the seven run parameters in param.par order.
// The product is output.txt in the current working directory; faults of the table are reported
// there and the call returns normally. A classification run leaves the number of file columns in
// FeatureToPredict, as callers reload their parameters before every run. progress may be null.
void RunEngine(double& TargetWeight, double& RecursiveComplexity, double& Homogeneity,
               int32_t& MonteCarlo, int32_t& VariantsNumber, int32_t& FeatureToPredict,
               int32_t& FoldsCrossValidate, std::string inputFileName,
               ProgressSink* progress = nullptr);

}  // namespace tarvo
