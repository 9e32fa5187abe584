// A table file in the described format read into tables in memory, without a run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tarvo/table.h"

namespace tarvo {

// A table file is read into memory whole; a larger one is refused with a message.
inline constexpr size_t kMaxTableFileBytes = size_t{256} << 20;

// Reads the file's rows into `rows` and the rows of its prediction section into `toPredict` (no
// columns when it has none). The reader checks the file as a run predicting column
// featureToPredict would. False with the reader's message in `fault`.
bool ReadTableFile(const std::string& path, int32_t featureToPredict, Table& rows, Table& toPredict,
                   std::string& fault);

}  // namespace tarvo
