// The capture session of an X11 item: starting it redirects the window and
// starts following it. Cursor and border have nothing to switch here (the
// cursor is never drawn into a frame, and there is no capture border), so
// those settings are accepted and change nothing; so are secondary windows
// and the dirty region mode. The minimum update interval paces the frames.
#pragma once

#include <memory>

#include "capture/platform/capture_service.h"
#include "capture/platform/x11/frame_pacer.h"
#include "capture/platform/x11/window_capture.h"
#include "capture/platform/x11/x11_capture_item.h"
#include "capture/platform/x11/x11_frame_pool.h"

namespace tarvix::capture::platform::x11 {

class X11ServiceSession final : public ServiceSession {
 public:
  X11ServiceSession(std::shared_ptr<X11FramePool> pool, std::shared_ptr<X11CaptureItem> item)
      : pool_(std::move(pool)), item_(std::move(item)) {}
  X11ServiceSession(const X11ServiceSession&) = delete;
  X11ServiceSession& operator=(const X11ServiceSession&) = delete;
  ~X11ServiceSession() override;

  PlatformResult<void> start_capture() override;
  PlatformResult<void> set_cursor_capture_enabled(bool) override { return {}; }
  PlatformResult<void> set_border_required(bool) override { return {}; }
  PlatformResult<void> set_include_secondary_windows(bool) override { return {}; }
  PlatformResult<void> set_min_update_interval(TimeSpanTicks interval) override;
  PlatformResult<void> set_dirty_region_mode(DirtyRegionMode) override { return {}; }
  PlatformResult<void> close() override;

 private:
  std::shared_ptr<X11FramePool> pool_;
  std::shared_ptr<X11CaptureItem> item_;
  FramePacer::Clock::duration interval_ = FramePacer::kDefaultInterval;
  std::shared_ptr<WindowCapture> capture_;
  bool started_ = false;
  bool closed_ = false;
};

}  // namespace tarvix::capture::platform::x11
