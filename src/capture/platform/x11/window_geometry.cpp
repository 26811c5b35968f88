#include "capture/platform/x11/window_geometry.h"

#include <xcb/xcb_xrm.h>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace tarvix::capture::platform::x11 {

namespace {

// Beyond these a setting is more likely a mistake than a screen.
constexpr double kMinDpi = 24;
constexpr double kMaxDpi = 2400;

std::uint32_t plausible(double dpi) noexcept {
  if (!(dpi >= kMinDpi && dpi <= kMaxDpi)) return 0;
  return static_cast<std::uint32_t>(std::lround(dpi));
}

struct XrmDeleter {
  void operator()(xcb_xrm_database_t* db) const noexcept { xcb_xrm_database_free(db); }
};

std::uint32_t dpi_from_resources(xcb_connection_t* c, xcb_screen_t* screen) {
  std::unique_ptr<xcb_xrm_database_t, XrmDeleter> db(
      xcb_xrm_database_from_resource_manager(c, screen));
  if (!db) return 0;
  char* raw = nullptr;
  if (xcb_xrm_resource_get_string(db.get(), "Xft.dpi", nullptr, &raw) < 0 || !raw) return 0;
  const std::unique_ptr<char, FreeDeleter> value(raw);
  return dpi_from_resource(value.get());
}

FrameExtents frame_extents(XConnection& connection, xcb_window_t window) {
  auto atom = connection.atom("_NET_FRAME_EXTENTS");
  if (!atom) return {};
  xcb_connection_t* c = connection.raw();
  auto reply =
      await_reply(connection, xcb_get_property(c, 0, window, atom.value(), XCB_ATOM_CARDINAL, 0, 4),
                  xcb_get_property_reply);
  // No window manager, or one that does not set the property: no frame.
  if (!reply || reply.value()->format != 32 ||
      xcb_get_property_value_length(reply.value().get()) < 16) {
    return {};
  }
  const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.value().get()));
  return {v[0], v[1], v[2], v[3]};
}

}  // namespace

std::uint32_t dpi_from_resource(const char* value) noexcept {
  if (!value) return 0;
  char* end = nullptr;
  const double dpi = std::strtod(value, &end);
  return end == value ? 0 : plausible(dpi);
}

std::uint32_t dpi_from_screen_size(std::uint32_t pixels, std::uint32_t millimetres) noexcept {
  if (millimetres == 0) return 0;
  return plausible(pixels * 25.4 / millimetres);
}

std::uint32_t screen_dpi(XConnection& connection) {
  // xcb-xrm only reads the screen; it just does not say so in its signature.
  auto* screen = const_cast<xcb_screen_t*>(&connection.screen());
  if (const std::uint32_t dpi = dpi_from_resources(connection.raw(), screen)) return dpi;
  const xcb_screen_t& s = connection.screen();
  if (const std::uint32_t dpi = dpi_from_screen_size(s.height_in_pixels, s.height_in_millimeters)) {
    return dpi;
  }
  return kDefaultDpi;
}

PlatformResult<Placement> window_placement(XConnection& connection, xcb_window_t window) {
  xcb_connection_t* c = connection.raw();
  auto geometry = await_reply(connection, xcb_get_geometry(c, window), xcb_get_geometry_reply);
  if (!geometry) return Err{to_platform_error(geometry.error())};
  const auto& g = *geometry.value();
  auto origin = await_reply(connection, xcb_translate_coordinates(c, window, g.root, 0, 0),
                            xcb_translate_coordinates_reply);
  if (!origin) return Err{to_platform_error(origin.error())};
  return Placement{origin.value()->dst_x, origin.value()->dst_y, g.width, g.height,
                   frame_extents(connection, window)};
}

std::int32_t to_logical(std::int32_t physical, std::uint32_t dpi) noexcept {
  if (dpi == 0) return physical;
  const std::int64_t half = dpi / 2;
  return static_cast<std::int32_t>((std::int64_t{physical} * kDefaultDpi + half) / dpi);
}

Rect client_rect(const Placement& p, std::uint32_t dpi) noexcept {
  return {0, 0, to_logical(p.width, dpi), to_logical(p.height, dpi)};
}

Rect frame_bounds(const Placement& p, std::uint32_t dpi) noexcept {
  const std::int32_t logical_height = to_logical(p.height, dpi);
  // The same 32-bit product the title-bar measurement forms.
  const std::int32_t scaled =
      static_cast<std::int32_t>(logical_height * static_cast<std::int32_t>(dpi)) / 96;
  const auto top = static_cast<std::int32_t>(p.extents.top);
  return {p.x - static_cast<std::int32_t>(p.extents.left), p.y - top,
          p.x + p.width + static_cast<std::int32_t>(p.extents.right), p.y + scaled};
}

}  // namespace tarvix::capture::platform::x11
