// Captures of real windows through the capture logic on the x11 platform,
// each test on a private X server, with the recording handler of the
// capture tests.
#pragma once

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "capture/capture_control.h"
#include "capture/capture_error.h"
#include "capture/recording_handler.h"
#include "x11/child_process.h"
#include "x11/x_server.h"

namespace tarvix::x11_test {

using capture::testing::FrameSeen;
using capture::testing::HandlerProbe;

// The tarvix_test_window program: its window, and commands it answers.
class TestWindow {
 public:
  explicit TestWindow(const std::vector<std::string>& args = {});
  xcb_window_t id() const { return id_; }
  // True when the program answered "ok" (or "closed").
  bool command(const std::string& line);

 private:
  ChildProcess process_;
  xcb_window_t id_ = 0;
};

// Whether a frame shows the picture a (24-bit) test window draws at `phase`;
// its alpha bytes are not its content.
bool shows_pattern(const FrameSeen& frame, std::uint32_t width, std::uint32_t height,
                   std::uint32_t phase);

class CaptureTest : public ::testing::Test {
 protected:
  explicit CaptureTest(const std::vector<std::string>& server_args = {}) : server_(server_args) {}
  void TearDown() override;

  // Cursor and border off, like every output of the module.
  Result<capture::CaptureControl, capture::CaptureError> start_capture(
      capture::platform::WindowHandle window);
  // Starts capturing into probe_; fails the test when it cannot.
  bool start(capture::platform::WindowHandle window);
  // Stops the running capture; the text of its error, empty on success.
  std::string stop();
  // Waits (bounded) until a frame recorded so far is `wanted`.
  bool wait_for_frame(const std::function<bool(const FrameSeen&)>& wanted);
  bool wait_for_pattern(std::uint32_t width, std::uint32_t height, std::uint32_t phase) {
    return wait_for_frame(
        [=](const FrameSeen& f) { return shows_pattern(f, width, height, phase); });
  }
  // Runs once, on the capture thread, before the next frame is read back.
  void before_next_read(std::function<void()> action);

  XServer server_;
  std::shared_ptr<HandlerProbe> probe_ = std::make_shared<HandlerProbe>();
  std::optional<capture::CaptureControl> control_;

 private:
  class Handler;
  std::mutex mutex_;
  std::function<void()> before_read_;
};

}  // namespace tarvix::x11_test
