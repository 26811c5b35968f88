// Factors that turn a premultiplied colour channel back into a straight one:
// entry a is 255 * 65536 / a rounded to nearest (entry 0 is 0), so that
// c * entry + 32768 >> 16 is c * 255 / a rounded.
#pragma once

#include <array>
#include <cstdint>

namespace tarvix::ndi {

using UnpremultiplyTable = std::array<std::uint32_t, 256>;

// Built on first use by exactly one thread; later calls take no lock.
const UnpremultiplyTable& unpremultiply_table() noexcept;

}  // namespace tarvix::ndi
