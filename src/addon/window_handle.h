// The native window handle as the script passes it: the first 8 bytes of a
// Buffer, little-endian.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "capture/platform/types.h"
#include "support/result.h"

namespace tarvix::addon {

// Bytes after the eighth are ignored; fewer than 8 give the message the
// script sees.
Result<capture::platform::WindowHandle, std::string> decode_window_handle(
    std::span<const std::byte> bytes);

}  // namespace tarvix::addon
