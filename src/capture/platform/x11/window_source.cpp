#include "capture/platform/x11/window_source.h"

#include <xcb/composite.h>

namespace tarvix::capture::platform::x11 {

namespace {

constexpr std::uint32_t kWatchedEvents = XCB_EVENT_MASK_STRUCTURE_NOTIFY;

}  // namespace

XResult<std::unique_ptr<WindowSource>> WindowSource::open(std::shared_ptr<XConnection> connection,
                                                          const WindowInfo& window) {
  xcb_connection_t* c = connection->raw();
  // Events first: a window destroyed from here on is reported as an event.
  auto selected = await_check(*connection, xcb_change_window_attributes_checked(
                                               c, window.id, XCB_CW_EVENT_MASK, &kWatchedEvents));
  if (!selected) return Err{selected.error()};
  auto source = std::make_unique<WindowSource>(std::move(connection), window);
  if (auto redirected = source->redirect(); !redirected && means_window_gone(redirected.error())) {
    return Err{redirected.error()};
  }
  source->create_damage();
  return source;
}

WindowSource::WindowSource(std::shared_ptr<XConnection> connection, const WindowInfo& window)
    : connection_(std::move(connection)), window_(window) {}

WindowSource::~WindowSource() {
  xcb_connection_t* c = connection_->raw();
  free_pixmap();
  if (damage_) xcb_damage_destroy(c, damage_);
  if (redirected_) {
    xcb_composite_unredirect_window(c, window_.id, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
  }
  const std::uint32_t none = 0;
  xcb_change_window_attributes(c, window_.id, XCB_CW_EVENT_MASK, &none);
  // Errors for a window that is gone meanwhile are of no interest; the
  // requests only need to reach the server.
  connection_->flush();
}

XResult<void> WindowSource::redirect() {
  if (!connection_->extensions().composite) return {};
  xcb_connection_t* c = connection_->raw();
  auto done = await_check(*connection_, xcb_composite_redirect_window_checked(
                                            c, window_.id, XCB_COMPOSITE_REDIRECT_AUTOMATIC));
  redirected_ = done.ok();
  return done;
}

void WindowSource::create_damage() {
  if (!connection_->extensions().damage) return;
  xcb_connection_t* c = connection_->raw();
  const xcb_damage_damage_t id = xcb_generate_id(c);
  auto done = await_check(*connection_, xcb_damage_create_checked(
                                            c, id, window_.id, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY));
  if (done) damage_ = id;
}

XResult<Surface> WindowSource::refresh() {
  xcb_connection_t* c = connection_->raw();
  auto window = await_reply(*connection_, xcb_get_geometry(c, window_.id), xcb_get_geometry_reply);
  if (!window) return Err{window.error()};
  if (!redirected_) {
    return Surface{window_.id, 0, 0, window.value()->width, window.value()->height};
  }
  free_pixmap();
  const xcb_pixmap_t pixmap = xcb_generate_id(c);
  auto named =
      await_check(*connection_, xcb_composite_name_window_pixmap_checked(c, window_.id, pixmap));
  if (!named) return Err{named.error()};
  pixmap_ = pixmap;
  // The pixmap's own size is what can be read, whatever the window did since.
  auto geometry = await_reply(*connection_, xcb_get_geometry(c, pixmap), xcb_get_geometry_reply);
  if (!geometry) return Err{geometry.error()};
  const std::int32_t border = window.value()->border_width;
  const std::int32_t width = geometry.value()->width - 2 * border;
  const std::int32_t height = geometry.value()->height - 2 * border;
  if (width <= 0 || height <= 0) return Err{XError{kBadMatch, 0, 0, pixmap}};
  return Surface{pixmap, static_cast<std::int16_t>(border), static_cast<std::int16_t>(border),
                 static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height)};
}

void WindowSource::subtract_damage() {
  if (!damage_) return;
  xcb_damage_subtract(connection_->raw(), damage_, XCB_NONE, XCB_NONE);
  connection_->flush();
}

void WindowSource::free_pixmap() noexcept {
  if (pixmap_) xcb_free_pixmap(connection_->raw(), pixmap_);
  pixmap_ = 0;
}

}  // namespace tarvix::capture::platform::x11
