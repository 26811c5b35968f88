// One running capture of one window: the X resources (WindowSource), the
// pacing of frames (FramePacer) and the watcher thread that follows the
// window's events. FrameArrived and Closed go out through the dispatcher
// queue of the thread that started the capture, like every event.
//
// Threads: start, take_frame, read, release_frame, pool_recreated and stop
// run on the capture thread; the watcher thread only reads events and
// updates the shared state under the mutex.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "capture/platform/portable/dispatcher_queue.h"
#include "capture/platform/types.h"
#include "capture/platform/x11/event_targets.h"
#include "capture/platform/x11/event_watcher.h"
#include "capture/platform/x11/frame_pacer.h"
#include "capture/platform/x11/pixel_buffer.h"
#include "capture/platform/x11/window_info.h"
#include "capture/platform/x11/window_source.h"

namespace tarvix::capture::platform::x11 {

struct CaptureTargets {
  std::weak_ptr<FrameArrivedTarget> pool;
  std::weak_ptr<ClosedTarget> item;
  std::shared_ptr<portable::DispatcherQueue> queue;
};

class WindowCapture : public std::enable_shared_from_this<WindowCapture> {
 public:
  using Clock = FramePacer::Clock;

  // A window that is already gone still starts: it reports Closed at once.
  static PlatformResult<std::shared_ptr<WindowCapture>> start(
      std::shared_ptr<XConnection> connection, const WindowInfo& window, CaptureTargets targets,
      Clock::duration interval);

  WindowCapture(std::shared_ptr<XConnection> connection, const WindowInfo& window,
                CaptureTargets targets, Clock::duration interval);
  WindowCapture(const WindowCapture&) = delete;
  WindowCapture& operator=(const WindowCapture&) = delete;
  ~WindowCapture();

  // Takes the frame that FrameArrived announced; its content size, or none
  // when no frame waits or the window cannot be read yet. Once the capture
  // has failed, a frame of `pool_size` is taken whose read reports why.
  std::optional<SizeInt32> take_frame(SizeInt32 pool_size);
  // Reads the window into `into`: width x height pixels, rows `pitch` apart,
  // all from one read of the window as it is now. kFrameNotReady when the
  // window no longer has that size (or went away): the frame is skipped and
  // another one follows. Any other error ends the capture.
  PlatformResult<void> read(const PixelBuffer& into, std::uint32_t width, std::uint32_t height,
                            std::uint32_t pitch);
  void release_frame();
  void set_interval(Clock::duration interval);
  // The window has no alpha channel: its pixels' fourth byte is padding.
  bool opaque() const noexcept { return !window_.has_alpha; }
  // The pool changed size: a frame at the new size is due.
  void pool_recreated();
  // No more events; the X resources are given back. Idempotent.
  void stop();

 private:
  void begin(std::unique_ptr<WindowSource> source, std::unique_ptr<EventWatcher> watcher);
  bool refresh_surface();
  void on_event(const xcb_generic_event_t& event);
  std::optional<Clock::time_point> on_idle();
  void window_gone();
  // The capture cannot go on (the server stopped answering, the window grew
  // past what a frame can hold): the next frame carries the error.
  void fail(PlatformError error);
  std::optional<PlatformError> failure() const;
  // The watcher found the connection broken: closed, or unanswered.
  void connection_broken();
  // The read came to nothing: handles an error, and asks for another frame.
  PlatformResult<void> not_read(const XError* error);
  void wake() const;

  std::shared_ptr<XConnection> connection_;
  WindowInfo window_;
  CaptureTargets targets_;

  // Capture thread only.
  std::unique_ptr<WindowSource> source_;
  std::optional<Surface> surface_;
  std::unique_ptr<EventWatcher> watcher_;

  mutable std::mutex mutex_;
  FramePacer pacer_;
  SizeInt32 size_;
  bool surface_stale_ = true;
  bool closed_ = false;
  bool notified_closed_ = false;
  std::optional<PlatformError> failure_;
};

}  // namespace tarvix::capture::platform::x11
