// How a fuzz target stops on a finding of its own: one line naming what broke, then an abort
// that libFuzzer reports with the input.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
  }
}
