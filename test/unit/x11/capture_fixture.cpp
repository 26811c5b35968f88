#include "x11/capture_fixture.h"

#include <cstdlib>
#include <utility>

#include "capture/capture_thread.h"
#include "capture/stop_error.h"
#include "pattern.h"

namespace tarvix::x11_test {

TestWindow::TestWindow(const std::vector<std::string>& args) : process_(TARVIX_TEST_WINDOW, args) {
  if (const auto line = process_.read_line())
    id_ = static_cast<xcb_window_t>(std::strtoul(line->c_str(), nullptr, 10));
  if (id_ == 0) ADD_FAILURE() << "the test window did not report its id";
}

bool TestWindow::command(const std::string& line) {
  if (!process_.write_line(line)) return false;
  const auto answer = process_.read_line();
  return answer && (*answer == "ok" || *answer == "closed");
}

bool shows_pattern(const FrameSeen& frame, std::uint32_t width, std::uint32_t height,
                   std::uint32_t phase) {
  if (frame.width != width || frame.height != height || frame.rows.size() != width * height * 4ull)
    return false;
  const std::uint8_t* px = frame.rows.data();
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x, px += 4) {
      const auto want = test_window::opaque_pixel(x, y, phase);
      if (px[0] != want.b || px[1] != want.g || px[2] != want.r) return false;
    }
  }
  return true;
}

// Records through the capture tests' handler, after the action a test set.
class CaptureTest::Handler final : public capture::CaptureHandler {
 public:
  explicit Handler(CaptureTest& test) : test_(test), recorder_(test.probe_) {}
  capture::HandlerResult handle_frame(capture::CaptureFrame& frame,
                                      capture::FrameControl& control) override {
    std::unique_lock lock(test_.mutex_);
    auto action = std::exchange(test_.before_read_, nullptr);
    lock.unlock();
    if (action) action();
    return recorder_.handle_frame(frame, control);
  }
  capture::HandlerResult handle_closed() override { return recorder_.handle_closed(); }

 private:
  CaptureTest& test_;
  capture::testing::RecordingHandler recorder_;
};

Result<capture::CaptureControl, capture::CaptureError> CaptureTest::start_capture(
    capture::platform::WindowHandle window) {
  capture::CaptureSettings settings;
  settings.window = window;
  settings.cursor = capture::CursorSetting::Off;
  settings.border = capture::BorderSetting::Off;
  settings.handler_factory = [this](auto, auto) { return std::make_unique<Handler>(*this); };
  return capture::start_capture_thread(std::move(settings));
}

bool CaptureTest::start(capture::platform::WindowHandle window) {
  auto started = start_capture(window);
  if (started) control_.emplace(std::move(started.value()));
  if (!started) ADD_FAILURE() << "capture did not start: " << capture::display(started.error());
  return started.ok();
}

std::string CaptureTest::stop() {
  if (!control_) return "no capture running";
  auto stopped = control_->stop();
  control_.reset();
  return stopped ? std::string() : capture::display(stopped.error());
}

bool CaptureTest::wait_for_frame(const std::function<bool(const FrameSeen&)>& wanted) {
  std::size_t seen = 0;  // frames looked at once are not looked at again
  return probe_->wait_until([&](const HandlerProbe& p) {
    for (; seen < p.frames.size(); ++seen) {
      if (wanted(p.frames[seen])) return true;
    }
    return false;
  });
}

void CaptureTest::before_next_read(std::function<void()> action) {
  std::lock_guard lock(mutex_);
  before_read_ = std::move(action);
}

void CaptureTest::TearDown() {
  const std::string why = control_ ? stop() : "";
  EXPECT_EQ(why, "");
}

}  // namespace tarvix::x11_test
