#include "addon/window_handle.h"

#include <cstdint>

namespace tarvix::addon {

constexpr std::size_t kHandleBytes = 8;

Result<capture::platform::WindowHandle, std::string> decode_window_handle(
    std::span<const std::byte> bytes) {
  if (bytes.size() < kHandleBytes) {
    return Err{"Window handle buffer too short: expected at least " + std::to_string(kHandleBytes) +
               " bytes, got " + std::to_string(bytes.size())};
  }
  uint64_t handle = 0;
  for (std::size_t i = 0; i < kHandleBytes; ++i) {
    handle |= static_cast<uint64_t>(bytes[i]) << (8 * i);
  }
  return handle;
}

}  // namespace tarvix::addon
