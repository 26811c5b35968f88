#include "addon/window_handle.h"

#include <cstdint>

namespace tarvix::addon {

namespace {

constexpr std::size_t kFullHandleBytes = 8;
// Electron hands over its native widget type as it is: a 4-byte X11 window
// id on Linux, an 8-byte HWND on Windows.
#ifdef _WIN32
constexpr std::size_t kMinHandleBytes = 8;
#else
constexpr std::size_t kMinHandleBytes = 4;
#endif

}  // namespace

Result<capture::platform::WindowHandle, std::string> decode_window_handle(
    std::span<const std::byte> bytes) {
  if (bytes.size() < kMinHandleBytes) {
    return Err{"Window handle buffer too short: expected at least " +
               std::to_string(kMinHandleBytes) + " bytes, got " + std::to_string(bytes.size())};
  }
  const std::size_t used = bytes.size() < kFullHandleBytes ? kMinHandleBytes : kFullHandleBytes;
  uint64_t handle = 0;
  for (std::size_t i = 0; i < used; ++i) {
    handle |= static_cast<uint64_t>(bytes[i]) << (8 * i);
  }
  return handle;
}

}  // namespace tarvix::addon
