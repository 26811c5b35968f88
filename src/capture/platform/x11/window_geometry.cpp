#include "capture/platform/x11/window_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

namespace tarvix::capture::platform::x11 {

namespace {

// Beyond these a setting is more likely a mistake than a screen.
constexpr double kMinDpi = 24;
constexpr double kMaxDpi = 2400;

std::uint32_t plausible(double dpi) noexcept {
  if (!(dpi >= kMinDpi && dpi <= kMaxDpi)) return 0;
  return static_cast<std::uint32_t>(std::lround(dpi));
}

// A resource name as a list of components, each bound to the one before
// tightly ('.') or loosely ('*', any number of components in between).
struct Component {
  bool loose = false;
  std::string_view name;
};

std::vector<Component> components(std::string_view key) {
  std::vector<Component> out;
  bool loose = false;
  std::size_t i = 0;
  while (i < key.size()) {
    if (key[i] == '.' || key[i] == '*') {
      loose = loose || key[i] == '*';
      ++i;
      continue;
    }
    const std::size_t end = std::min(key.find_first_of(".*", i), key.size());
    out.push_back({loose, key.substr(i, end - i)});
    loose = false;
    i = end;
  }
  return out;
}

bool matches(std::span<const Component> pattern, std::span<const std::string_view> names) {
  if (pattern.empty()) return names.empty();
  const Component& first = pattern.front();
  const std::size_t reach = first.loose ? names.size() : std::min<std::size_t>(names.size(), 1);
  for (std::size_t k = 0; k < reach; ++k) {
    if ((first.name == "?" || first.name == names[k]) &&
        matches(pattern.subspan(1), names.subspan(k + 1))) {
      return true;
    }
  }
  return false;
}

std::string_view trim(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r") + 1 - begin);
}

std::uint32_t dpi_from_root_resources(XConnection& connection) {
  xcb_connection_t* c = connection.raw();
  // A desktop's resources are a few kilobytes; this only bounds a hostile one.
  constexpr std::uint32_t kMaxWords = 1u << 20;
  auto reply =
      await_reply(c,
                  xcb_get_property(c, 0, connection.screen().root, XCB_ATOM_RESOURCE_MANAGER,
                                   XCB_ATOM_STRING, 0, kMaxWords),
                  xcb_get_property_reply);
  if (!reply || reply.value()->format != 8) return 0;
  const auto* text = static_cast<const char*>(xcb_get_property_value(reply.value().get()));
  const auto length = static_cast<std::size_t>(xcb_get_property_value_length(reply.value().get()));
  return dpi_from_resource_database({text, length});
}

FrameExtents frame_extents(XConnection& connection, xcb_window_t window) {
  auto atom = connection.atom("_NET_FRAME_EXTENTS");
  if (!atom) return {};
  xcb_connection_t* c = connection.raw();
  auto reply = await_reply(c, xcb_get_property(c, 0, window, atom.value(), XCB_ATOM_CARDINAL, 0, 4),
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

std::uint32_t dpi_from_resource_database(std::string_view resources) {
  static constexpr std::string_view kName[] = {"Xft", "dpi"};
  std::string value;
  bool exact = false;
  while (!resources.empty()) {
    const std::size_t end = std::min(resources.find('\n'), resources.size());
    const std::string_view line = resources.substr(0, end);
    resources.remove_prefix(std::min(end + 1, resources.size()));
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || line.starts_with('!') || line.starts_with('#')) continue;
    const std::string_view key = trim(line.substr(0, colon));
    // The fully named entry wins over a pattern, whatever their order.
    const bool is_exact = key == "Xft.dpi";
    if ((is_exact || !exact) && matches(components(key), kName)) {
      value = trim(line.substr(colon + 1));
      exact = is_exact;
    }
  }
  return dpi_from_resource(value.c_str());
}

std::uint32_t dpi_from_screen_size(std::uint32_t pixels, std::uint32_t millimetres) noexcept {
  if (millimetres == 0) return 0;
  return plausible(pixels * 25.4 / millimetres);
}

std::uint32_t screen_dpi(XConnection& connection) {
  if (const std::uint32_t dpi = dpi_from_root_resources(connection)) return dpi;
  const xcb_screen_t& s = connection.screen();
  if (const std::uint32_t dpi = dpi_from_screen_size(s.height_in_pixels, s.height_in_millimeters)) {
    return dpi;
  }
  return kDefaultDpi;
}

PlatformResult<Placement> window_placement(XConnection& connection, xcb_window_t window) {
  xcb_connection_t* c = connection.raw();
  auto geometry = await_reply(c, xcb_get_geometry(c, window), xcb_get_geometry_reply);
  if (!geometry) return Err{to_platform_error(geometry.error())};
  const auto& g = *geometry.value();
  auto origin = await_reply(c, xcb_translate_coordinates(c, window, g.root, 0, 0),
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
