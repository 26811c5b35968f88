#include "capture/platform/x11/x_connection.h"

#include <xcb/composite.h>
#include <xcb/damage.h>
#include <xcb/shm.h>
#include <xcb/xfixes.h>

#include <cstdlib>

namespace tarvix::capture::platform::x11 {

namespace {

thread_local std::weak_ptr<XConnection> current_connection;

const char* connect_failure_text(int code) {
  switch (code) {
    case XCB_CONN_CLOSED_EXT_NOTSUPPORTED:
      return "an extension is not supported";
    case XCB_CONN_CLOSED_MEM_INSUFFICIENT:
      return "out of memory";
    case XCB_CONN_CLOSED_REQ_LEN_EXCEED:
      return "request too long";
    case XCB_CONN_CLOSED_PARSE_ERR:
      return "the display name cannot be parsed";
    case XCB_CONN_CLOSED_INVALID_SCREEN:
      return "the display has no such screen";
    default:
      return "cannot connect to the server";
  }
}

const xcb_screen_t* nth_screen(xcb_connection_t* c, int n) {
  auto it = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (; it.rem; --n, xcb_screen_next(&it)) {
    if (n == 0) return it.data;
  }
  return nullptr;
}

bool present(xcb_connection_t* c, xcb_extension_t* ext) {
  const xcb_query_extension_reply_t* data = xcb_get_extension_data(c, ext);
  return data && data->present;
}

}  // namespace

PlatformResult<std::shared_ptr<XConnection>> XConnection::open() {
  const char* env = std::getenv("DISPLAY");
  const std::string display = env && *env ? env : "(DISPLAY is not set)";
  int screen_number = 0;
  xcb_connection_t* c = xcb_connect(nullptr, &screen_number);
  if (const int code = xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return Err{PlatformError{
        kFail, "Cannot open X display \"" + display + "\": " + connect_failure_text(code)}};
  }
  const xcb_screen_t* screen = nth_screen(c, screen_number);
  if (!screen) {
    xcb_disconnect(c);
    return Err{PlatformError{
        kFail, "X display \"" + display + "\" has no screen " + std::to_string(screen_number)}};
  }
  auto connection = std::make_shared<XConnection>(Key{}, c, screen);
  connection->probe_extensions();
  return connection;
}

PlatformResult<std::shared_ptr<XConnection>> XConnection::for_current_thread() {
  if (auto c = current_connection.lock()) return c;
  auto opened = open();
  if (opened) opened.value()->make_current(opened.value());
  return opened;
}

void XConnection::make_current(const std::shared_ptr<XConnection>& self) {
  current_connection = self;
}

XConnection::~XConnection() {
  xcb_disconnect(c_);
}

std::uint32_t XConnection::max_request_bytes() const noexcept {
  return xcb_get_maximum_request_length(c_) * 4;
}

XResult<xcb_atom_t> XConnection::atom(std::string_view name) {
  auto reply =
      await_reply(c_, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(name.size()), name.data()),
                  xcb_intern_atom_reply);
  if (!reply) return Err{reply.error()};
  return reply.value()->atom;
}

// Asks for every extension at once, then negotiates the versions the
// backend uses; an extension that is missing or too old is simply not used.
void XConnection::probe_extensions() {
  xcb_prefetch_extension_data(c_, &xcb_shm_id);
  xcb_prefetch_extension_data(c_, &xcb_composite_id);
  xcb_prefetch_extension_data(c_, &xcb_damage_id);
  xcb_prefetch_extension_data(c_, &xcb_xfixes_id);
  const bool has_shm = present(c_, &xcb_shm_id);
  const bool has_composite = present(c_, &xcb_composite_id);
  const bool has_xfixes = present(c_, &xcb_xfixes_id);
  const bool has_damage = has_xfixes && present(c_, &xcb_damage_id);

  if (has_shm) {
    auto v = await_reply(c_, xcb_shm_query_version(c_), xcb_shm_query_version_reply);
    extensions_.shm = v.ok();
  }
  if (has_composite) {
    auto v =
        await_reply(c_, xcb_composite_query_version(c_, 0, 4), xcb_composite_query_version_reply);
    extensions_.composite =
        v.ok() && (v.value()->major_version > 0 || v.value()->minor_version >= 2);
  }
  if (has_xfixes) {
    auto v = await_reply(c_, xcb_xfixes_query_version(c_, 5, 0), xcb_xfixes_query_version_reply);
    extensions_.xfixes = v.ok();
  }
  if (has_damage && extensions_.xfixes) {
    auto v = await_reply(c_, xcb_damage_query_version(c_, 1, 1), xcb_damage_query_version_reply);
    extensions_.damage = v.ok();
    extensions_.damage_first_event = xcb_get_extension_data(c_, &xcb_damage_id)->first_event;
  }
}

XResult<void> await_check(xcb_connection_t* c, xcb_void_cookie_t cookie) {
  if (xcb_generic_error_t* raw = xcb_request_check(c, cookie)) {
    const XReply<xcb_generic_error_t> error(raw);
    return Err{XError::from(*error)};
  }
  if (xcb_connection_has_error(c)) return Err{XError::connection_lost()};
  return {};
}

}  // namespace tarvix::capture::platform::x11
