#include "capture/platform/x11/x11_frame_pool.h"

#include <string>
#include <utility>
#include <vector>

#include "capture/platform/x11/x11_frame.h"
#include "capture/platform/x11/x11_service_session.h"

namespace tarvix::capture::platform::x11 {

PlatformResult<void> check_pool_arguments(PixelFormat format, std::int32_t buffers,
                                          SizeInt32 size) {
  if (format != kPixelFormatBgra8) {
    return Err{PlatformError{kInvalidArg, "only B8G8R8A8 (87) frames are captured"}};
  }
  if (buffers < 1) return Err{PlatformError{kInvalidArg, "a frame pool needs a buffer"}};
  if (size.width < 1 || size.height < 1 ||
      size.width > static_cast<std::int32_t>(kMaxTextureSide) ||
      size.height > static_cast<std::int32_t>(kMaxTextureSide)) {
    return Err{PlatformError{kInvalidArg, "frame size " + std::to_string(size.width) + " x " +
                                              std::to_string(size.height) +
                                              " is out of range: 1 to " +
                                              std::to_string(kMaxTextureSide) + " on each side"}};
  }
  return {};
}

X11FramePool::X11FramePool(std::shared_ptr<XConnection> connection,
                           std::shared_ptr<portable::DispatcherQueue> queue, PixelFormat format,
                           SizeInt32 size)
    : connection_(std::move(connection)), queue_(std::move(queue)), format_(format), size_(size) {}

PlatformResult<void> X11FramePool::recreate(CaptureDevice& device, PixelFormat format,
                                            std::int32_t buffers, SizeInt32 size) {
  if (!dynamic_cast<X11CaptureDevice*>(&device)) {
    return Err{PlatformError{kInvalidArg, "not a capture device of this platform"}};
  }
  if (auto checked = check_pool_arguments(format, buffers, size); !checked) return checked;
  std::shared_ptr<WindowCapture> capture;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return Err{PlatformError{kIllegalCall, "the frame pool is closed"}};
    format_ = format;
    size_ = size;
    capture = capture_;
  }
  if (capture) capture->pool_recreated();
  return {};
}

PlatformResult<std::shared_ptr<Frame>> X11FramePool::try_get_next_frame() {
  std::shared_ptr<WindowCapture> capture;
  SizeInt32 size;
  PixelFormat format;
  {
    std::lock_guard lock(mutex_);
    if (closed_ || !capture_) return std::shared_ptr<Frame>();
    capture = capture_;
    size = size_;
    format = format_;
  }
  const auto content = capture->take_frame(size);
  if (!content) return std::shared_ptr<Frame>();
  return std::shared_ptr<Frame>(std::make_shared<X11Frame>(capture, *content, size, format));
}

PlatformResult<std::shared_ptr<ServiceSession>> X11FramePool::create_capture_session(
    CaptureItem& item) {
  auto* x11_item = dynamic_cast<X11CaptureItem*>(&item);
  if (!x11_item) return Err{PlatformError{kInvalidArg, "not a capture item of this platform"}};
  return std::shared_ptr<ServiceSession>(
      std::make_shared<X11ServiceSession>(shared_from_this(), x11_item->shared_from_this()));
}

PlatformResult<EventToken> X11FramePool::add_frame_arrived(FrameArrivedHandler handler) {
  if (!handler) return Err{PlatformError{kInvalidArg, "no FrameArrived handler"}};
  std::lock_guard lock(mutex_);
  const EventToken token = next_token_++;
  handlers_.emplace(token, std::move(handler));
  return token;
}

PlatformResult<void> X11FramePool::remove_frame_arrived(EventToken token) {
  std::lock_guard lock(mutex_);
  if (handlers_.erase(token) == 0) {
    return Err{PlatformError{kInvalidArg, "no FrameArrived handler has this token"}};
  }
  return {};
}

PlatformResult<void> X11FramePool::close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  handlers_.clear();
  return {};
}

void X11FramePool::raise_frame_arrived() {
  std::vector<FrameArrivedHandler> handlers;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    for (const auto& [token, handler] : handlers_)
      handlers.push_back(handler);
  }
  // A failure is the handler's report to us; there is no one to pass it to.
  for (auto& handler : handlers)
    (void)handler(this);
}

void X11FramePool::attach(std::shared_ptr<WindowCapture> capture) {
  std::lock_guard lock(mutex_);
  capture_ = std::move(capture);
}

void X11FramePool::detach() {
  std::lock_guard lock(mutex_);
  capture_.reset();
}

}  // namespace tarvix::capture::platform::x11
