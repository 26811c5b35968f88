// One connection to the X server, with what the backend learned about the
// server when it opened: the default screen and the extensions it offers.
// A capture thread opens one (with its device) and everything that thread
// creates shares it; xcb lets several threads use a connection at once.
// Every wait on the server, from the connect on, ends within kAnswerBound.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "capture/platform/platform_error.h"
#include "capture/platform/x11/answer_deadline.h"
#include "capture/platform/x11/x_reply.h"

namespace tarvix::capture::platform::x11 {

struct Extensions {
  bool shm = false;        // MIT-SHM: read pixels through shared memory
  bool composite = false;  // Composite 0.2+: redirect and name window pixmaps
  bool damage = false;     // Damage 1.1: learn when content changes
  bool xfixes = false;     // XFixes: Damage needs it negotiated
  std::uint8_t damage_first_event = 0;
};

class XConnection {
 public:
  // Opens the display named by DISPLAY. The error names the display and
  // says why: no server, a refusal (client limit, authorisation) or none
  // of the server's answers within the bound.
  static PlatformResult<std::shared_ptr<XConnection>> open();
  // The connection the calling thread made current, or a new one that
  // becomes current. Capture threads open theirs with the device first.
  static PlatformResult<std::shared_ptr<XConnection>> for_current_thread();
  // Makes this the connection for_current_thread() gives on this thread.
  void make_current(const std::shared_ptr<XConnection>& self);

  // Only open() makes connections; the key keeps the constructor to it.
  class Key {
    friend class XConnection;
    Key() = default;
  };
  XConnection(Key, xcb_connection_t* c, const xcb_screen_t* screen,
              std::unique_ptr<AnswerDeadline> deadline)
      : c_(c), screen_(screen), deadline_(std::move(deadline)) {}
  XConnection(const XConnection&) = delete;
  XConnection& operator=(const XConnection&) = delete;
  ~XConnection();

  xcb_connection_t* raw() const noexcept { return c_; }
  const xcb_screen_t& screen() const noexcept { return *screen_; }
  const Extensions& extensions() const noexcept { return extensions_; }
  // The longest request the server takes, in bytes (with BIG-REQUESTS).
  std::uint32_t max_request_bytes() const noexcept;
  bool broken() const noexcept { return xcb_connection_has_error(c_) != 0; }

  XResult<xcb_atom_t> atom(std::string_view name);
  // Sends what is buffered; waits (bounded) only while the server reads
  // nothing.
  void flush() const noexcept;

  // Armed around every blocking xcb call on this connection.
  AnswerDeadline::Wait bounded_wait() const { return AnswerDeadline::Wait(*deadline_); }
  // Why a wait ended without a reply: the bound, or a broken connection.
  XError lost() const noexcept;

 private:
  void probe_extensions();

  xcb_connection_t* c_;
  const xcb_screen_t* screen_;
  std::unique_ptr<AnswerDeadline> deadline_;
  Extensions extensions_;
};

// Waits for the reply of `cookie` with xcb's matching *_reply function.
template <class Cookie, class ReplyFn>
auto await_reply(const XConnection& connection, Cookie cookie, ReplyFn reply_fn) -> XResult<
    XReply<std::remove_pointer_t<decltype(reply_fn(connection.raw(), cookie, nullptr))>>> {
  using Reply = std::remove_pointer_t<decltype(reply_fn(connection.raw(), cookie, nullptr))>;
  xcb_generic_error_t* raw_error = nullptr;
  XReply<Reply> reply;
  {
    const auto wait = connection.bounded_wait();
    reply.reset(reply_fn(connection.raw(), cookie, &raw_error));
  }
  if (raw_error) {
    const XReply<xcb_generic_error_t> error(raw_error);
    return Err{XError::from(*error)};
  }
  if (!reply) return Err{connection.lost()};
  return reply;
}

// Waits for the outcome of a request made with an xcb *_checked function.
XResult<void> await_check(const XConnection& connection, xcb_void_cookie_t cookie);

}  // namespace tarvix::capture::platform::x11
