// UTF-8 byte sequences, for names and texts that may be UTF-8 or another encoding.
#pragma once

#include <cstddef>
#include <string_view>

namespace tarvo {

// The length of the valid UTF-8 sequence that starts at bytes[i]; 0 when none starts there (a
// stray continuation byte, a cut or overlong sequence, a surrogate, beyond U+10FFFF).
size_t Utf8SequenceLength(std::string_view bytes, size_t i);

}  // namespace tarvo
