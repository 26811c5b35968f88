#include "ndi/unpremultiply_table.h"

namespace tarvix::ndi {
namespace {

UnpremultiplyTable build_table() noexcept {
  UnpremultiplyTable table{};
  for (std::uint32_t a = 1; a < table.size(); ++a) {
    table[a] = (255u * 65536u + a / 2) / a;
  }
  return table;
}

}  // namespace

const UnpremultiplyTable& unpremultiply_table() noexcept {
  // A function-local static is initialised once, with other callers waiting.
  static const UnpremultiplyTable table = build_table();
  return table;
}

}  // namespace tarvix::ndi
