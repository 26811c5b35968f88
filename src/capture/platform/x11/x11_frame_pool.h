// The frame pool of an X11 capture and the frames it hands out. The pool
// holds one frame at a time, like a single-buffer pool: the next
// FrameArrived waits until the frame taken before has been released.
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "capture/platform/capture_service.h"
#include "capture/platform/portable/dispatcher_queue.h"
#include "capture/platform/x11/event_targets.h"
#include "capture/platform/x11/window_capture.h"
#include "capture/platform/x11/x11_graphics.h"

namespace tarvix::capture::platform::x11 {

class X11FramePool final : public FramePool,
                           public FrameArrivedTarget,
                           public std::enable_shared_from_this<X11FramePool> {
 public:
  X11FramePool(std::shared_ptr<XConnection> connection,
               std::shared_ptr<portable::DispatcherQueue> queue, PixelFormat format,
               SizeInt32 size);

  PlatformResult<void> recreate(CaptureDevice& device, PixelFormat format, std::int32_t buffers,
                                SizeInt32 size) override;
  PlatformResult<std::shared_ptr<Frame>> try_get_next_frame() override;
  PlatformResult<std::shared_ptr<ServiceSession>> create_capture_session(
      CaptureItem& item) override;
  PlatformResult<EventToken> add_frame_arrived(FrameArrivedHandler handler) override;
  PlatformResult<void> remove_frame_arrived(EventToken token) override;
  PlatformResult<void> close() override;
  void raise_frame_arrived() override;

  const std::shared_ptr<XConnection>& connection() const noexcept { return connection_; }
  const std::shared_ptr<portable::DispatcherQueue>& queue() const noexcept { return queue_; }
  // The running capture that feeds the pool, set by its session.
  void attach(std::shared_ptr<WindowCapture> capture);
  void detach();

 private:
  std::shared_ptr<XConnection> connection_;
  std::shared_ptr<portable::DispatcherQueue> queue_;
  std::mutex mutex_;
  std::map<EventToken, FrameArrivedHandler> handlers_;
  EventToken next_token_ = 1;
  PixelFormat format_;
  SizeInt32 size_;
  bool closed_ = false;
  std::shared_ptr<WindowCapture> capture_;
};

// Checks the arguments a pool is made or remade with.
PlatformResult<void> check_pool_arguments(PixelFormat format, std::int32_t buffers, SizeInt32 size);

}  // namespace tarvix::capture::platform::x11
