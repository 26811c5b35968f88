// The native window handle as the script passes it: the first 8 bytes of a
// Buffer, little-endian; on Linux a Buffer of 4 to 7 bytes gives its first 4.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "capture/platform/types.h"
#include "support/result.h"

namespace tarvix::addon {

// Bytes after the eighth are ignored; fewer than the platform's minimum (8 on
// Windows, 4 on Linux) give the message the script sees.
Result<capture::platform::WindowHandle, std::string> decode_window_handle(
    std::span<const std::byte> bytes);

}  // namespace tarvix::addon
