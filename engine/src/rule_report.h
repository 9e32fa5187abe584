// The report of one tree: the run header on the first variant, then one rule per leaf and the
// tree's error on its training objects.
#pragma once

#include "run_state.h"

namespace tarvo {

void WriteTreeReport(TRunState& run);

}  // namespace tarvo
