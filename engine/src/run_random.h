// The run's own random generator: a 32-bit linear congruential state, seeded with 5 per run.
#pragma once

#include <cstdint>

namespace tarvo {

class TRunRandom {
 public:
  void Seed(uint32_t seed) { state_ = seed; }
  // A number in 0..range-1 (range >= 1): the upper half of the 64-bit product of the advanced
  // state and the range.
  int32_t Draw(int32_t range) {
    state_ = state_ * 134775813u + 1u;
    return static_cast<int32_t>((static_cast<uint64_t>(state_) * static_cast<uint32_t>(range)) >>
                                32);
  }
  uint32_t State() const { return state_; }

 private:
  uint32_t state_ = 5;
};

}  // namespace tarvo
