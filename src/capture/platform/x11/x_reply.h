// Checked X requests as values: a reply (owned, freed by its destructor) or
// the XError the server sent instead.
#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <type_traits>

#include "capture/platform/x11/x_error.h"
#include "support/result.h"

namespace tarvix::capture::platform::x11 {

struct FreeDeleter {
  void operator()(void* p) const noexcept { std::free(p); }
};

template <class T>
using XReply = std::unique_ptr<T, FreeDeleter>;

template <class T>
using XResult = Result<T, XError>;

// Waits for the reply of `cookie` with xcb's matching *_reply function.
template <class Cookie, class ReplyFn>
auto await_reply(xcb_connection_t* c, Cookie cookie, ReplyFn reply_fn)
    -> XResult<XReply<std::remove_pointer_t<decltype(reply_fn(c, cookie, nullptr))>>> {
  using Reply = std::remove_pointer_t<decltype(reply_fn(c, cookie, nullptr))>;
  xcb_generic_error_t* raw_error = nullptr;
  XReply<Reply> reply(reply_fn(c, cookie, &raw_error));
  if (raw_error) {
    const XReply<xcb_generic_error_t> error(raw_error);
    return Err{XError::from(*error)};
  }
  if (!reply) return Err{XError::connection_lost()};
  return reply;
}

// Waits for the outcome of a request made with an xcb *_checked function.
XResult<void> await_check(xcb_connection_t* c, xcb_void_cookie_t cookie);

}  // namespace tarvix::capture::platform::x11
