// X protocol errors as values. Nothing in the backend lets xcb print or
// abort on an error: every request whose failure matters is checked, and its
// error comes back as one of these.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <string>

#include "capture/platform/platform_error.h"

namespace tarvix::capture::platform::x11 {

struct XError {
  // The X error code; 0 when the connection broke and no reply came.
  std::uint8_t code = 0;
  std::uint8_t major_opcode = 0;
  std::uint16_t minor_opcode = 0;
  std::uint32_t resource = 0;
  // With code 0: the server left a request unanswered past the bound, and
  // the connection was shut for it.
  bool unanswered = false;

  static XError from(const xcb_generic_error_t& e) noexcept;
  static XError connection_lost() noexcept { return {}; }
  static XError no_answer() noexcept { return {0, 0, 0, 0, true}; }
};

// Core error codes the backend tells apart.
inline constexpr std::uint8_t kBadWindow = 3;
inline constexpr std::uint8_t kBadPixmap = 4;
inline constexpr std::uint8_t kBadMatch = 8;
inline constexpr std::uint8_t kBadDrawable = 9;

// The window (or the drawable read in its place) no longer exists, or the
// connection to the server is gone: either way there is nothing to capture.
// A server that stopped answering is not among them: that is a failure.
bool means_window_gone(const XError& e) noexcept;

// "X error BadWindow (3) for resource 0x50d, request 3.0", or the connection text.
std::string describe(const XError& e);

// The platform error the capture logic sees for an X error.
PlatformError to_platform_error(const XError& e);

// HRESULT of ERROR_INVALID_WINDOW_HANDLE: what a handle that names no
// window gives on the other platform.
inline constexpr Hresult kInvalidWindowHandle = hresult_from_win32(1400);

}  // namespace tarvix::capture::platform::x11
