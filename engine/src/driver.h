// The run with a chosen number of search threads; RunEngine uses one per core.
#pragma once

#include <cstdint>
#include <string>

#include "tarvo/engine.h"

namespace tarvo {

constexpr int32_t kMaxSearchThreads = 8;

// threads <= 0: one per core, at most kMaxSearchThreads. The report is the same for any count.
void RunEngineOnThreads(double& TargetWeight, double& RecursiveComplexity, double& Homogeneity,
                        int32_t& MonteCarlo, int32_t& VariantsNumber, int32_t& FeatureToPredict,
                        int32_t& FoldsCrossValidate, std::string inputFileName,
                        ProgressSink* progress, int32_t threads);

}  // namespace tarvo
