// Starts captures of test windows through the capture logic on the x11
// platform, with a recording handler, on a private X server.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "capture/capture_control.h"
#include "capture/capture_error.h"
#include "capture/platform/types.h"
#include "pattern.h"
#include "x11/recorder.h"
#include "x11/x_server.h"

namespace tarvix::x11_test {

// The pattern a test window draws at `phase`, compared pixel by pixel.
Recorder::Matcher pattern_of(bool argb, std::uint32_t width, std::uint32_t height,
                             std::uint32_t phase);

// Cursor and border off, like every output of the module.
Result<capture::CaptureControl, capture::CaptureError> start_capture(
    capture::platform::WindowHandle window, const std::shared_ptr<Recorder>& recorder);

class CaptureTest : public ::testing::Test {
 protected:
  explicit CaptureTest(const std::vector<std::string>& server_args = {}) : server_(server_args) {}
  void TearDown() override;

  // Starts capturing into recorder_; fails the test when it cannot.
  bool start(capture::platform::WindowHandle window);
  // Stops the running capture; true when the stop reported success.
  bool stop();
  // Waits (bounded) for the capture to end by itself.
  void wait_for_halt();
  // Stops the running capture; the text of its error, empty on success.
  std::string stop_error();

  XServer server_;
  std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>();
  std::optional<capture::CaptureControl> control_;
};

}  // namespace tarvix::x11_test
