// The window capture service: capture items, frame pools, frames and the
// service session, plus the dispatcher queue controller that frame events
// are delivered through.
//
// Threads: the capture logic creates every object here on its capture
// thread. FrameArrived is raised through the dispatcher queue of the thread
// that created the frame pool, so the frame procedure runs inside that
// thread's message pump (get_message + dispatch_message) and never overlaps
// itself. Closed may be raised on any thread (on Windows the handler is
// agile and runs on the thread that raises it), so the closed procedure is
// safe on any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "capture/platform/graphics.h"
#include "capture/platform/types.h"

namespace tarvix::capture::platform {

class FramePool;

// A captured frame, held until it is destroyed. Holding it keeps the pool's
// single buffer busy.
class Frame {
 public:
  virtual ~Frame() = default;
  // Size of the window content this frame shows; differs from the pool's
  // size right after the window was resized.
  virtual PlatformResult<SizeInt32> content_size() = 0;
  // The frame's texture (Surface -> IDirect3DDxgiInterfaceAccess ->
  // GetInterface). Success with a null pointer means the platform gave none.
  virtual PlatformResult<std::shared_ptr<Texture>> texture() = 0;
};

// Called with the item as sender, on any thread; raised once when the
// window goes away.
using ClosedHandler = std::function<EventResult()>;
// Called with the pool as sender (null when the platform gave none).
using FrameArrivedHandler = std::function<EventResult(FramePool* sender)>;

class CaptureItem {
 public:
  virtual ~CaptureItem() = default;
  // The window's current content size.
  virtual PlatformResult<SizeInt32> size() = 0;
  virtual PlatformResult<EventToken> add_closed(ClosedHandler handler) = 0;
  // Removing an unknown token fails; the logic ignores that.
  virtual PlatformResult<void> remove_closed(EventToken token) = 0;
};

// The capture service's session for one item (GraphicsCaptureSession).
// Setters fail with the platform's code when the property cannot be set.
class ServiceSession {
 public:
  virtual ~ServiceSession() = default;
  virtual PlatformResult<void> start_capture() = 0;
  virtual PlatformResult<void> set_cursor_capture_enabled(bool enabled) = 0;
  virtual PlatformResult<void> set_border_required(bool required) = 0;
  virtual PlatformResult<void> set_include_secondary_windows(bool include) = 0;
  virtual PlatformResult<void> set_min_update_interval(TimeSpanTicks interval) = 0;
  virtual PlatformResult<void> set_dirty_region_mode(DirtyRegionMode mode) = 0;
  // After close no more frames are produced; closing twice is harmless.
  virtual PlatformResult<void> close() = 0;
};

// A frame pool bound to its creating thread's dispatcher queue.
class FramePool {
 public:
  virtual ~FramePool() = default;
  // Resizes the pool's buffers (Recreate); later frames have `size`.
  virtual PlatformResult<void> recreate(CaptureDevice& device, PixelFormat format,
                                        std::int32_t buffers, SizeInt32 size) = 0;
  // The oldest waiting frame, or success with null when none is waiting.
  virtual PlatformResult<std::shared_ptr<Frame>> try_get_next_frame() = 0;
  virtual PlatformResult<std::shared_ptr<ServiceSession>> create_capture_session(
      CaptureItem& item) = 0;
  virtual PlatformResult<EventToken> add_frame_arrived(FrameArrivedHandler handler) = 0;
  virtual PlatformResult<void> remove_frame_arrived(EventToken token) = 0;
  // After close no more FrameArrived is raised; closing twice is harmless.
  virtual PlatformResult<void> close() = 0;
};

// Called when an asynchronous action completes, on the thread that owns the
// dispatcher queue being shut down.
using CompletedHandler = std::function<EventResult()>;

class AsyncAction {
 public:
  virtual ~AsyncAction() = default;
  // Sets the Completed handler. If the action already completed, the handler
  // is called at once, on the calling thread. Fails when a handler was set
  // before.
  virtual PlatformResult<void> set_completed(CompletedHandler handler) = 0;
};

// Owns the dispatcher queue of the thread that created it.
class DispatcherQueueController {
 public:
  virtual ~DispatcherQueueController() = default;
  // Stops the queue from taking new work; work already queued still runs,
  // then the action completes inside the owning thread's pump. Success with a
  // null pointer means the platform returned no action.
  virtual PlatformResult<std::shared_ptr<AsyncAction>> shutdown_queue_async() = 0;
};

}  // namespace tarvix::capture::platform
