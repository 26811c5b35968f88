// What the backend checks about a window before it agrees to capture it.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>

#include "capture/platform/platform_error.h"
#include "capture/platform/types.h"
#include "capture/platform/x11/x_connection.h"

namespace tarvix::capture::platform::x11 {

struct WindowInfo {
  xcb_window_t id = 0;
  // Depth 32 windows carry their own (premultiplied) alpha; others are opaque.
  bool has_alpha = false;
  bool viewable = false;
};

// The X window a native handle names: X ids are 32-bit, so 0 and anything
// above 0xFFFFFFFF name none (never truncated to their low bits).
PlatformResult<xcb_window_t> window_from_handle(WindowHandle handle);

// Checks that the window exists, can be drawn into (not InputOnly) and has a
// pixel layout the backend reads as B, G, R, A: a TrueColor visual of depth
// 24 or 32 with 8-bit channels, 32 bits per pixel, least significant byte
// first.
PlatformResult<WindowInfo> inspect_window(XConnection& connection, WindowHandle handle);

}  // namespace tarvix::capture::platform::x11
