#include "capture/platform/x11/x_connection.h"

#include <xcb/composite.h>
#include <xcb/damage.h>
#include <xcb/shm.h>
#include <xcb/xfixes.h>

#include <unistd.h>

#include <cstdlib>

#include "capture/platform/x11/display_socket.h"

namespace tarvix::capture::platform::x11 {

namespace {

thread_local std::weak_ptr<XConnection> current_connection;

const char* connect_failure_text(int code) {
  switch (code) {
    case XCB_CONN_ERROR:
      // The socket is connected, so the server itself closed it: it sends
      // its reason (to standard error, by xcb) and hangs up.
      return "the server refused the connection (client limit or authorisation)";
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
  auto refused = [&](const std::string& why) {
    return Err{PlatformError{kFail, "Cannot open X display \"" + display + "\": " + why}};
  };
  if (!env || !*env) return refused("cannot connect to the server");
  auto socket = connect_display(env, kAnswerBound);
  if (!socket) return refused(socket.error().message);
  const int fd = socket.value().fd;
  auto deadline = AnswerDeadline::start(fd);
  if (!deadline) {
    close(fd);
    return refused(deadline.error().message);
  }
  std::string name = socket.value().auth_name, data = socket.value().auth_data;
  xcb_auth_info_t auth{static_cast<int>(name.size()), name.data(), static_cast<int>(data.size()),
                       data.data()};
  xcb_connection_t* c = nullptr;
  {
    // xcb owns the socket from here on, failed or not.
    const AnswerDeadline::Wait wait(*deadline.value());
    c = xcb_connect_to_fd(fd, name.empty() ? nullptr : &auth);
  }
  if (const int code = xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    if (deadline.value()->expired()) return refused(describe(XError::no_answer()));
    return refused(connect_failure_text(code));
  }
  const int screen_number = socket.value().screen;
  const xcb_screen_t* screen = nth_screen(c, screen_number);
  if (!screen) {
    xcb_disconnect(c);
    return Err{PlatformError{
        kFail, "X display \"" + display + "\" has no screen " + std::to_string(screen_number)}};
  }
  auto connection = std::make_shared<XConnection>(Key{}, c, screen, std::move(deadline).value());
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

void XConnection::flush() const noexcept {
  const auto wait = bounded_wait();
  xcb_flush(c_);
}

XError XConnection::lost() const noexcept {
  return deadline_->expired() ? XError::no_answer() : XError::connection_lost();
}

XResult<xcb_atom_t> XConnection::atom(std::string_view name) {
  auto reply = await_reply(
      *this, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(name.size()), name.data()),
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
  bool has_shm = false, has_composite = false, has_xfixes = false, has_damage = false;
  {
    const auto wait = bounded_wait();
    has_shm = present(c_, &xcb_shm_id);
    has_composite = present(c_, &xcb_composite_id);
    has_xfixes = present(c_, &xcb_xfixes_id);
    has_damage = has_xfixes && present(c_, &xcb_damage_id);
    // Asked here so that the answer is known before any wait needs it.
    (void)xcb_get_maximum_request_length(c_);
  }

  if (has_shm) {
    auto v = await_reply(*this, xcb_shm_query_version(c_), xcb_shm_query_version_reply);
    extensions_.shm = v.ok();
  }
  if (has_composite) {
    auto v = await_reply(*this, xcb_composite_query_version(c_, 0, 4),
                         xcb_composite_query_version_reply);
    extensions_.composite =
        v.ok() && (v.value()->major_version > 0 || v.value()->minor_version >= 2);
  }
  if (has_xfixes) {
    auto v = await_reply(*this, xcb_xfixes_query_version(c_, 5, 0), xcb_xfixes_query_version_reply);
    extensions_.xfixes = v.ok();
  }
  if (has_damage && extensions_.xfixes) {
    auto v = await_reply(*this, xcb_damage_query_version(c_, 1, 1), xcb_damage_query_version_reply);
    extensions_.damage = v.ok();
    extensions_.damage_first_event = xcb_get_extension_data(c_, &xcb_damage_id)->first_event;
  }
}

XResult<void> await_check(const XConnection& connection, xcb_void_cookie_t cookie) {
  xcb_generic_error_t* raw = nullptr;
  {
    const auto wait = connection.bounded_wait();
    raw = xcb_request_check(connection.raw(), cookie);
  }
  if (raw) {
    const XReply<xcb_generic_error_t> error(raw);
    return Err{XError::from(*error)};
  }
  if (connection.broken()) return Err{connection.lost()};
  return {};
}

}  // namespace tarvix::capture::platform::x11
