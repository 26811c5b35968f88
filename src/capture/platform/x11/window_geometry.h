// Where a window sits, how large it is and at what dpi, put the way the
// capture logic measures a title bar: frame rectangle in physical pixels,
// client rectangle in logical pixels (96 per inch), and the dpi between them.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <string_view>

#include "capture/platform/platform_error.h"
#include "capture/platform/types.h"
#include "capture/platform/x11/x_connection.h"

namespace tarvix::capture::platform::x11 {

inline constexpr std::uint32_t kDefaultDpi = 96;

// _NET_FRAME_EXTENTS: what the window manager's frame adds on each side.
struct FrameExtents {
  std::uint32_t left = 0, right = 0, top = 0, bottom = 0;
};

struct Placement {
  // The client area on the root window, in physical pixels.
  std::int32_t x = 0, y = 0, width = 0, height = 0;
  FrameExtents extents;
};

// Xft.dpi from the root's resources, else from the screen's size in
// millimetres, else 96.
std::uint32_t screen_dpi(XConnection& connection);
// The dpi a resource value or a screen size gives; 0 when it gives none.
std::uint32_t dpi_from_resource(const char* value) noexcept;
// The dpi of Xft.dpi in the text of the root's RESOURCE_MANAGER property
// ("name: value" lines, the same matching of '*' and '?' as the X resource
// manager's, the plain name before any pattern); 0 when it gives none.
std::uint32_t dpi_from_resource_database(std::string_view resources);
std::uint32_t dpi_from_screen_size(std::uint32_t pixels, std::uint32_t millimetres) noexcept;

PlatformResult<Placement> window_placement(XConnection& connection, xcb_window_t window);

// The logical size of `physical` pixels at `dpi`, rounded to nearest.
std::int32_t to_logical(std::int32_t physical, std::uint32_t dpi) noexcept;
// The client rectangle in logical pixels, at the origin.
Rect client_rect(const Placement& p, std::uint32_t dpi) noexcept;
// The frame rectangle: the extents around the client, except that its bottom
// edge is where the logical client height scales back to. Then frame height
// minus scaled client height is exactly the top extent, the title bar, even
// where the scaling cannot give back the physical height to the pixel.
Rect frame_bounds(const Placement& p, std::uint32_t dpi) noexcept;

}  // namespace tarvix::capture::platform::x11
