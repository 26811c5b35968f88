// The capture item of one X window: its size and its Closed event.
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "capture/platform/capture_service.h"
#include "capture/platform/portable/dispatcher_queue.h"
#include "capture/platform/x11/event_targets.h"
#include "capture/platform/x11/window_info.h"
#include "capture/platform/x11/x_connection.h"

namespace tarvix::capture::platform::x11 {

class X11CaptureItem final : public CaptureItem,
                             public ClosedTarget,
                             public std::enable_shared_from_this<X11CaptureItem> {
 public:
  X11CaptureItem(std::shared_ptr<XConnection> connection, const WindowInfo& window)
      : connection_(std::move(connection)), window_(window) {}

  PlatformResult<SizeInt32> size() override;
  PlatformResult<EventToken> add_closed(ClosedHandler handler) override;
  PlatformResult<void> remove_closed(EventToken token) override;
  void raise_closed() override;

  const WindowInfo& window() const noexcept { return window_; }

 private:
  std::shared_ptr<XConnection> connection_;
  WindowInfo window_;
  std::mutex mutex_;
  std::map<EventToken, ClosedHandler> handlers_;
  EventToken next_token_ = 1;
  bool raised_ = false;
};

}  // namespace tarvix::capture::platform::x11
