// A failed expectation in a fuzz target: say what broke and abort, which
// libFuzzer reports as a crash together with the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace tarvix::fuzz {

inline void check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

}  // namespace tarvix::fuzz
