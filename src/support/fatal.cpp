#include "support/fatal.h"

#include <cstdio>
#include <cstdlib>

namespace tarvix {

void fatal(std::string_view message) noexcept {
  // One write so the line is not interleaved with output of other threads.
  std::fprintf(stderr, "tarvix_ndi_addon: fatal: %.*s\n", static_cast<int>(message.size()),
               message.data());
  std::fflush(stderr);
  std::abort();
}

}  // namespace tarvix
