#include "x11/capture_fixture.h"

#include "capture/capture_thread.h"
#include "capture/stop_error.h"

namespace tarvix::x11_test {

Recorder::Matcher pattern_of(bool argb, std::uint32_t width, std::uint32_t height,
                             std::uint32_t phase) {
  return [=](const Picture& p) {
    if (p.width != width || p.height != height) return false;
    const std::uint8_t* px = p.bgra.data();
    for (std::uint32_t y = 0; y < height; ++y) {
      for (std::uint32_t x = 0; x < width; ++x, px += 4) {
        const auto want = test_window::pattern_pixel(argb, x, y, phase);
        if (px[0] != want.b || px[1] != want.g || px[2] != want.r || px[3] != want.a) return false;
      }
    }
    return true;
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

void CaptureTest::TearDown() {
  if (control_) stop();
}

}  // namespace tarvix::x11_test
