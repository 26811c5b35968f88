#include "capture/platform/x11/x11_capture_item.h"

#include <utility>
#include <vector>

namespace tarvix::capture::platform::x11 {

PlatformResult<SizeInt32> X11CaptureItem::size() {
  xcb_connection_t* c = connection_->raw();
  auto geometry =
      await_reply(*connection_, xcb_get_geometry(c, window_.id), xcb_get_geometry_reply);
  if (!geometry) return Err{to_platform_error(geometry.error())};
  return SizeInt32{geometry.value()->width, geometry.value()->height};
}

PlatformResult<EventToken> X11CaptureItem::add_closed(ClosedHandler handler) {
  if (!handler) return Err{PlatformError{kInvalidArg, "no Closed handler"}};
  std::lock_guard lock(mutex_);
  const EventToken token = next_token_++;
  handlers_.emplace(token, std::move(handler));
  return token;
}

PlatformResult<void> X11CaptureItem::remove_closed(EventToken token) {
  std::lock_guard lock(mutex_);
  if (handlers_.erase(token) == 0) {
    return Err{PlatformError{kInvalidArg, "no Closed handler has this token"}};
  }
  return {};
}

// Closed is raised once per item; handlers run without the lock so that
// they may remove themselves.
void X11CaptureItem::raise_closed() {
  std::vector<ClosedHandler> handlers;
  {
    std::lock_guard lock(mutex_);
    if (std::exchange(raised_, true)) return;
    for (const auto& [token, handler] : handlers_)
      handlers.push_back(handler);
  }
  // The raiser is the X server, which takes no answer: failures stay here.
  for (auto& handler : handlers)
    (void)handler();
}

}  // namespace tarvix::capture::platform::x11
