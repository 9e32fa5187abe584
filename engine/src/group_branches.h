// The branch records of a frame's live groups. At the last level of the look-ahead a group's
// branch is one leaf whose figures the group's row holds, so its record is made only when a
// partition that keeps it is taken; above, the row holds the branch its evaluation made.
#pragma once

#include <cstdint>

#include "search_frame.h"

namespace tarvo {

// The branch and leaf that evaluating live group g as the union of its last merge would have made.
TBranchRec* MakeLastLevelBranch(const TRunState& run, TRecordStore& records,
                                const TSearchFrame& frame, int32_t g);

// The branch of live group g, which the row gives up; at the last level it is made now.
TBranchRec* TakeBranch(const TRunState& run, TRecordStore& records, TSearchFrame& frame, int32_t g);

}  // namespace tarvo
