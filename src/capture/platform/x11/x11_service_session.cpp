#include "capture/platform/x11/x11_service_session.h"

#include <algorithm>
#include <chrono>

namespace tarvix::capture::platform::x11 {

X11ServiceSession::~X11ServiceSession() {
  (void)close();
}

PlatformResult<void> X11ServiceSession::start_capture() {
  if (closed_) return Err{PlatformError{kIllegalCall, "the capture session is closed"}};
  if (started_) return Err{PlatformError{kIllegalCall, "the capture has already been started"}};
  CaptureTargets targets{pool_, item_, pool_->queue()};
  auto capture =
      WindowCapture::start(pool_->connection(), item_->window(), std::move(targets), interval_);
  if (!capture) return Err{capture.error()};
  capture_ = std::move(capture.value());
  pool_->attach(capture_);
  started_ = true;
  return {};
}

PlatformResult<void> X11ServiceSession::set_min_update_interval(TimeSpanTicks interval) {
  if (interval < 0) return Err{PlatformError{kInvalidArg, "a negative update interval"}};
  // Ticks of 100 ns; 0 asks for no pause between frames. Anything beyond a
  // day is taken as a day, which keeps the time arithmetic in range.
  constexpr TimeSpanTicks kDayInTicks = 24LL * 3600 * 10'000'000;
  interval_ = std::chrono::nanoseconds(std::min(interval, kDayInTicks) * 100);
  if (capture_) capture_->set_interval(interval_);
  return {};
}

PlatformResult<void> X11ServiceSession::close() {
  if (closed_) return {};
  closed_ = true;
  pool_->detach();
  if (capture_) capture_->stop();
  capture_.reset();
  return {};
}

}  // namespace tarvix::capture::platform::x11
