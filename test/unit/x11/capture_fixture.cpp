#include "x11/capture_fixture.h"

#include <chrono>
#include <thread>
#include <vector>

#include "capture/capture_thread.h"
#include "capture/stop_error.h"

namespace tarvix::x11_test {

Recorder::Matcher pattern_of(bool argb, std::uint32_t width, std::uint32_t height,
                             std::uint32_t phase) {
  // Drawn once: frames of large windows are then compared at memcmp speed,
  // which matters under the sanitizers.
  auto expected = std::make_shared<std::vector<std::uint8_t>>(std::size_t{width} * height * 4);
  std::uint8_t* px = expected->data();
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const auto want = test_window::pattern_pixel(argb, x, y, phase);
      *px++ = want.b, *px++ = want.g, *px++ = want.r, *px++ = want.a;
    }
  }
  return [=](const Picture& p) {
    return p.width == width && p.height == height && p.bgra == *expected;
  };
}

Result<capture::CaptureControl, capture::CaptureError> start_capture(
    capture::platform::WindowHandle window, const std::shared_ptr<Recorder>& recorder) {
  capture::CaptureSettings settings;
  settings.window = window;
  settings.cursor = capture::CursorSetting::Off;
  settings.border = capture::BorderSetting::Off;
  settings.handler_factory = recorder->factory();
  return capture::start_capture_thread(std::move(settings));
}

bool CaptureTest::start(capture::platform::WindowHandle window) {
  auto started = start_capture(window, recorder_);
  if (!started) {
    ADD_FAILURE() << "capture did not start: " << capture::display(started.error());
    return false;
  }
  control_.emplace(std::move(started.value()));
  return true;
}

bool CaptureTest::stop() {
  if (!control_) return false;
  auto stopped = control_->stop();
  control_.reset();
  if (!stopped) ADD_FAILURE() << "stop failed: " << capture::display(stopped.error());
  return stopped.ok();
}

void CaptureTest::wait_for_halt() {
  for (int i = 0; i < 2000 && control_ && !control_->halt_flag()->load(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

std::string CaptureTest::stop_error() {
  if (!control_) return "no capture running";
  auto stopped = control_->stop();
  control_.reset();
  return stopped ? std::string() : capture::display(stopped.error());
}

void CaptureTest::TearDown() {
  if (control_) stop();
}

}  // namespace tarvix::x11_test
