#include "capture/platform/x11/window_info.h"

#include <cstdio>
#include <string>

namespace tarvix::capture::platform::x11 {

namespace {

PlatformError refused(xcb_window_t window, const char* why) {
  char text[128];
  std::snprintf(text, sizeof text, "X window 0x%x cannot be captured: %s", window, why);
  return {kInvalidWindowHandle, text};
}

const xcb_visualtype_t* find_visual(const xcb_setup_t* setup, xcb_visualid_t id,
                                    std::uint8_t& depth) {
  for (auto s = xcb_setup_roots_iterator(setup); s.rem; xcb_screen_next(&s)) {
    for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem; xcb_depth_next(&d)) {
      for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
        if (v.data->visual_id == id) {
          depth = d.data->depth;
          return v.data;
        }
      }
    }
  }
  return nullptr;
}

bool pixels_are_32_bit(const xcb_setup_t* setup, std::uint8_t depth) {
  for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
    if (f.data->depth == depth) return f.data->bits_per_pixel == 32;
  }
  return false;
}

bool readable_as_bgra(const xcb_setup_t* setup, const xcb_visualtype_t& v, std::uint8_t depth) {
  const bool true_colour =
      v._class == XCB_VISUAL_CLASS_TRUE_COLOR || v._class == XCB_VISUAL_CLASS_DIRECT_COLOR;
  return true_colour && (depth == 24 || depth == 32) && v.red_mask == 0xFF0000u &&
         v.green_mask == 0xFF00u && v.blue_mask == 0xFFu && pixels_are_32_bit(setup, depth) &&
         setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
}

}  // namespace

PlatformResult<xcb_window_t> window_from_handle(WindowHandle handle) {
  if (handle == 0 || handle > 0xFFFFFFFFu) {
    char text[96];
    std::snprintf(text, sizeof text, "handle 0x%llx names no X window",
                  static_cast<unsigned long long>(handle));
    return Err{PlatformError{kInvalidWindowHandle, text}};
  }
  return static_cast<xcb_window_t>(handle);
}

PlatformResult<WindowInfo> inspect_window(XConnection& connection, WindowHandle handle) {
  auto window = window_from_handle(handle);
  if (!window) return Err{window.error()};
  xcb_connection_t* c = connection.raw();
  auto attributes = await_reply(connection, xcb_get_window_attributes(c, window.value()),
                                xcb_get_window_attributes_reply);
  if (!attributes) return Err{to_platform_error(attributes.error())};
  const auto& a = *attributes.value();
  if (a._class == XCB_WINDOW_CLASS_INPUT_ONLY) {
    return Err{refused(window.value(), "it is an InputOnly window")};
  }
  std::uint8_t depth = 0;
  const xcb_setup_t* setup = xcb_get_setup(c);
  const xcb_visualtype_t* visual = find_visual(setup, a.visual, depth);
  if (!visual || !readable_as_bgra(setup, *visual, depth)) {
    return Err{refused(window.value(), "its pixel layout is not 8-bit BGR(A)")};
  }
  return WindowInfo{window.value(), depth == 32, a.map_state == XCB_MAP_STATE_VIEWABLE};
}

}  // namespace tarvix::capture::platform::x11
