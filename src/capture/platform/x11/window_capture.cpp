#include "capture/platform/x11/window_capture.h"

#include <xcb/damage.h>

#include <cstdio>

#include "capture/platform/x11/pixel_reader.h"
#include "capture/platform/x11/x11_graphics.h"

namespace tarvix::capture::platform::x11 {

namespace {

// How soon to try again when a mapped window cannot be read yet (its
// parent, the window manager's frame, is not mapped so far).
constexpr auto kNotViewableRetry = std::chrono::milliseconds(100);

std::uint8_t event_type(const xcb_generic_event_t& e) {
  return e.response_type & 0x7F;
}

}  // namespace

PlatformResult<std::shared_ptr<WindowCapture>> WindowCapture::start(
    std::shared_ptr<XConnection> connection, const WindowInfo& window, CaptureTargets targets,
    Clock::duration interval) {
  // Without redirection a covered or off-screen part of the window has no
  // pixels to read, and black is not the window's content.
  if (!connection->extensions().composite) {
    return Err{PlatformError{kFail,
                             "the X server does not offer the Composite extension (0.2 or "
                             "later), without which covered or off-screen windows cannot be read"}};
  }
  auto capture = std::make_shared<WindowCapture>(connection, window, std::move(targets), interval);
  auto source = WindowSource::open(connection, window);
  if (!source) {
    capture->window_gone();
    return capture;
  }
  EventWatcher::Callbacks callbacks{
      [raw = capture.get()](const xcb_generic_event_t& e) { raw->on_event(e); },
      [raw = capture.get()] { return raw->on_idle(); },
      [raw = capture.get()] { raw->connection_broken(); }};
  auto watcher = EventWatcher::start(connection, std::move(callbacks));
  if (!watcher) return Err{watcher.error()};
  capture->begin(std::move(source.value()), std::move(watcher.value()));
  return capture;
}

WindowCapture::WindowCapture(std::shared_ptr<XConnection> connection, const WindowInfo& window,
                             CaptureTargets targets, Clock::duration interval)
    : connection_(std::move(connection)), window_(window), targets_(std::move(targets)) {
  pacer_.set_interval(interval);
}

WindowCapture::~WindowCapture() {
  stop();
}

void WindowCapture::begin(std::unique_ptr<WindowSource> source,
                          std::unique_ptr<EventWatcher> watcher) {
  source_ = std::move(source);
  watcher_ = std::move(watcher);
  wake();
}

std::optional<SizeInt32> WindowCapture::take_frame(SizeInt32 pool_size) {
  SizeInt32 size;
  {
    std::lock_guard lock(mutex_);
    if (failure_) return pool_size;
    if (!pacer_.take()) return std::nullopt;
    size = size_;
  }
  if (size.width > static_cast<std::int32_t>(kMaxTextureSide) ||
      size.height > static_cast<std::int32_t>(kMaxTextureSide)) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "X window 0x%x is now %d x %d pixels; frames are limited to %u on each side",
                  window_.id, size.width, size.height, kMaxTextureSide);
    fail(PlatformError{kInvalidArg, text});
    return pool_size;
  }
  if (!source_ || !refresh_surface()) {
    std::lock_guard lock(mutex_);
    if (failure_) return pool_size;
    pacer_.release();
    if (!closed_) pacer_.retry_at(Clock::now() + kNotViewableRetry);
    wake();
    return std::nullopt;
  }
  // Seen from here on: changes after this point raise the next frame.
  source_->subtract_damage();
  if (!source_->tracks_damage()) {
    std::lock_guard lock(mutex_);
    pacer_.content_changed();
  }
  return SizeInt32{surface_->width, surface_->height};
}

// Names the pixmap again when the window was mapped or resized since.
bool WindowCapture::refresh_surface() {
  {
    std::lock_guard lock(mutex_);
    if (!surface_stale_ && surface_) return true;
    surface_stale_ = false;
  }
  auto surface = source_->refresh();
  if (!surface) {
    surface_.reset();
    if (surface.error().unanswered) fail(to_platform_error(surface.error()));
    if (means_window_gone(surface.error())) window_gone();
    return false;
  }
  surface_ = surface.value();
  return true;
}

PlatformResult<void> WindowCapture::read(const PixelBuffer& into, std::uint32_t width,
                                         std::uint32_t height, std::uint32_t pitch) {
  if (auto failed = failure()) return Err{*failed};
  if (!source_ || !refresh_surface()) return not_read(nullptr);
  // The window changed size since the frame was taken: its pixels no
  // longer make this frame.
  if (surface_->width != width || surface_->height != height) return not_read(nullptr);
  const ReadArea area{surface_->drawable,
                      surface_->x,
                      surface_->y,
                      static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(height),
                      static_cast<std::uint8_t>(window_.has_alpha ? 32 : 24)};
  auto done = read_pixels(*connection_, area, into, pitch);
  if (!done) return not_read(&done.error());
  // Replies may have brought events along that only the watcher handles.
  wake();
  return {};
}

PlatformResult<void> WindowCapture::not_read(const XError* error) {
  if (error && error->unanswered) fail(to_platform_error(*error));
  if (error && means_window_gone(*error)) window_gone();
  if (auto failed = failure()) return Err{*failed};
  {
    std::lock_guard lock(mutex_);
    pacer_.content_changed();
  }
  wake();
  return Err{PlatformError{kFrameNotReady, "the window changed while its frame was read"}};
}

void WindowCapture::fail(PlatformError error) {
  {
    std::lock_guard lock(mutex_);
    if (failure_) return;
    failure_ = std::move(error);
    pacer_.stop();
  }
  // Raised here rather than by the pacer: the watcher may have ended with
  // the connection.
  auto pool = targets_.pool;
  targets_.queue->try_enqueue([pool] {
    if (auto target = pool.lock()) target->raise_frame_arrived();
  });
}

void WindowCapture::connection_broken() {
  const XError lost = connection_->lost();
  if (lost.unanswered) {
    fail(to_platform_error(lost));
  } else {
    window_gone();
  }
}

std::optional<PlatformError> WindowCapture::failure() const {
  std::lock_guard lock(mutex_);
  return failure_;
}

void WindowCapture::release_frame() {
  {
    std::lock_guard lock(mutex_);
    pacer_.release();
  }
  wake();
}

void WindowCapture::set_interval(Clock::duration interval) {
  {
    std::lock_guard lock(mutex_);
    pacer_.set_interval(interval);
  }
  wake();
}

void WindowCapture::pool_recreated() {
  {
    std::lock_guard lock(mutex_);
    pacer_.content_changed();
  }
  wake();
}

void WindowCapture::stop() {
  {
    std::lock_guard lock(mutex_);
    pacer_.stop();
  }
  watcher_.reset();
  surface_.reset();
  source_.reset();
}

void WindowCapture::on_event(const xcb_generic_event_t& event) {
  const std::uint8_t type = event_type(event);
  std::lock_guard lock(mutex_);
  if (type == XCB_DESTROY_NOTIFY) {
    const auto& e = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
    if (e.window != window_.id) return;
    closed_ = true;
    pacer_.stop();
  } else if (type == XCB_CONFIGURE_NOTIFY) {
    const auto& e = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
    const SizeInt32 size{e.width, e.height};
    if (e.window != window_.id || size == size_) return;
    size_ = size;
    surface_stale_ = true;
    pacer_.content_changed();
  } else if (type == XCB_MAP_NOTIFY) {
    if (reinterpret_cast<const xcb_map_notify_event_t&>(event).window != window_.id) return;
    surface_stale_ = true;
    pacer_.set_paused(false);
    pacer_.content_changed();
  } else if (type == XCB_UNMAP_NOTIFY) {
    if (reinterpret_cast<const xcb_unmap_notify_event_t&>(event).window != window_.id) return;
    pacer_.set_paused(true);
  } else if (connection_->extensions().damage &&
             type == connection_->extensions().damage_first_event + XCB_DAMAGE_NOTIFY) {
    pacer_.content_changed();
  }
}

std::optional<WindowCapture::Clock::time_point> WindowCapture::on_idle() {
  bool raise = false;
  bool gone = false;
  {
    std::lock_guard lock(mutex_);
    gone = closed_;
    raise = pacer_.try_raise(Clock::now());
  }
  if (gone) window_gone();
  if (raise) {
    auto pool = targets_.pool;
    const bool queued = targets_.queue->try_enqueue([pool] {
      if (auto target = pool.lock()) target->raise_frame_arrived();
    });
    if (!queued) {
      std::lock_guard lock(mutex_);
      pacer_.raise_failed();
      pacer_.stop();
    }
  }
  std::lock_guard lock(mutex_);
  return pacer_.next_raise();
}

// Raises Closed once, whoever noticed first (watcher: DestroyNotify or a
// broken connection; capture thread: BadWindow or BadDrawable on a read).
void WindowCapture::window_gone() {
  {
    std::lock_guard lock(mutex_);
    pacer_.stop();
    if (closed_ && notified_closed_) return;
    closed_ = true;
    notified_closed_ = true;
  }
  auto item = targets_.item;
  targets_.queue->try_enqueue([item] {
    if (auto target = item.lock()) target->raise_closed();
  });
}

void WindowCapture::wake() const {
  if (watcher_) watcher_->wake();
}

}  // namespace tarvix::capture::platform::x11
