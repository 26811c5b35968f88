// Real windows captured through the capture logic on the x11 platform.
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>

#include "capture/capture_error.h"
#include "x11/capture_fixture.h"
#include "x11/test_window_process.h"

namespace tarvix::x11_test {
namespace {

using capture::CaptureError;

// 100 MB frames are slow to copy and compare under the sanitizers.
constexpr std::chrono::seconds kLargePatience{90};

class X11Capture : public CaptureTest {};

TEST_F(X11Capture, FirstFrameHasTheWindowSizeAndOpaquePixelsOfItsPicture) {
  TestWindowProcess window({"--size", "320x240", "--phase", "3"});
  ASSERT_TRUE(window.ready());
  recorder_->set_matcher(pattern_of(false, 320, 240, 3));
  ASSERT_TRUE(start(window.id()));

  ASSERT_TRUE(recorder_->wait_for_frames(1));
  const auto first = recorder_->frames().front();
  EXPECT_EQ(first.width, 320u);
  EXPECT_EQ(first.height, 240u);
  // The window stays still, so its picture arrives without a redraw.
  ASSERT_TRUE(recorder_->wait_for_match());
  for (const auto& f : recorder_->frames())
    EXPECT_TRUE(f.all_opaque);
  EXPECT_TRUE(stop());
}

TEST_F(X11Capture, ArgbWindowPremultipliedBytesArriveUnchanged) {
  TestWindowProcess window({"--argb", "--size", "64x48", "--phase", "1"});
  ASSERT_TRUE(window.ready());
  recorder_->set_matcher(pattern_of(true, 64, 48, 1));
  ASSERT_TRUE(start(window.id()));
  // Redirection may show the window before it repaints; its repaint follows.
  ASSERT_TRUE(recorder_->wait_for_match());
  EXPECT_TRUE(stop());
}

TEST_F(X11Capture, CoveredAndPartlyOffScreenWindowIsCaptured) {
  TestWindowProcess covered({"--size", "200x150", "--pos", "-60,-40"});
  ASSERT_TRUE(covered.ready());
  TestWindowProcess cover({"--size", "400x300"});
  ASSERT_TRUE(cover.ready());
  ASSERT_TRUE(start(covered.id()));
  ASSERT_TRUE(recorder_->wait_for_frames(1));

  recorder_->set_matcher(pattern_of(false, 200, 150, 7));
  ASSERT_TRUE(covered.command("redraw 7"));
  ASSERT_TRUE(recorder_->wait_for_match());
  EXPECT_TRUE(stop());
}

TEST_F(X11Capture, AfterAResizeFramesHaveTheNewSize) {
  TestWindowProcess window({"--size", "320x240"});
  ASSERT_TRUE(window.ready());
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(recorder_->wait_for_frames(1));

  recorder_->set_matcher(pattern_of(false, 200, 100, 0));
  ASSERT_TRUE(window.command("resize 200 100"));
  ASSERT_TRUE(recorder_->wait_for_match());
  ASSERT_TRUE(window.command("redraw 2"));
  ASSERT_TRUE(recorder_->wait_until([](const auto& frames) {
    return std::count_if(frames.begin(), frames.end(),
                         [](const auto& f) { return f.width == 200; }) >= 2;
  }));
  // Once a frame had the new size, no frame has the old one again.
  const auto frames = recorder_->frames();
  const auto first_new =
      std::find_if(frames.begin(), frames.end(), [](const auto& f) { return f.width == 200; });
  for (auto f = first_new; f != frames.end(); ++f) {
    EXPECT_EQ(f->width, 200u);
    EXPECT_EQ(f->height, 100u);
  }
  EXPECT_TRUE(stop());
}

TEST_F(X11Capture, AWindowHiddenAndShownAgainIsCapturedAgain) {
  TestWindowProcess window({"--size", "120x90"});
  ASSERT_TRUE(window.ready());
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(recorder_->wait_for_frames(1));
  ASSERT_TRUE(window.command("unmap"));
  ASSERT_TRUE(window.command("map"));
  recorder_->set_matcher(pattern_of(false, 120, 90, 6));
  ASSERT_TRUE(window.command("redraw 6"));
  ASSERT_TRUE(recorder_->wait_for_match());
  EXPECT_EQ(recorder_->closed_count(), 0);
  EXPECT_TRUE(stop());
}

TEST_F(X11Capture, ClosingTheWindowEndsTheCaptureAndStopSucceeds) {
  TestWindowProcess window({});
  ASSERT_TRUE(window.ready());
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(recorder_->wait_for_frames(1));
  ASSERT_TRUE(window.command("close"));
  ASSERT_TRUE(recorder_->wait_for_closed());
  EXPECT_TRUE(control_->halt_flag()->load());
  EXPECT_TRUE(stop());
  EXPECT_EQ(recorder_->closed_count(), 1);
}

TEST_F(X11Capture, KillingTheWindowsProgramEndsTheCaptureAndStopSucceeds) {
  TestWindowProcess window({"--argb"});
  ASSERT_TRUE(window.ready());
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(recorder_->wait_for_frames(1));
  window.kill_now();
  ASSERT_TRUE(recorder_->wait_for_closed());
  EXPECT_TRUE(stop());
}

TEST_F(X11Capture, LosingTheXServerEndsTheCaptureAndStopSucceeds) {
  TestWindowProcess window({});
  ASSERT_TRUE(window.ready());
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(recorder_->wait_for_frames(1));
  server_.kill_server();
  ASSERT_TRUE(recorder_->wait_for_closed());
  EXPECT_TRUE(stop());
}

// Whatever the reason a handle names no capturable window, the start fails
// the same way and leaves nothing running.
TEST_F(X11Capture, HandlesThatNameNoCapturableWindowFailItemConversion) {
  ASSERT_TRUE(server_.ready());
  TestWindowProcess window({});
  ASSERT_TRUE(window.ready());
  xcb_connection_t* c = server_.connection();
  const xcb_pixmap_t pixmap = xcb_generate_id(c);
  xcb_create_pixmap(c, 24, pixmap, server_.root(), 8, 8);
  const xcb_window_t input_only = xcb_generate_id(c);
  xcb_create_window(c, 0, input_only, server_.root(), 0, 0, 8, 8, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  const xcb_window_t unused = xcb_generate_id(c);
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));

  const std::uint64_t handles[] = {0,      0x10000050dULL, (std::uint64_t{1} << 32) | window.id(),
                                   unused, pixmap,         input_only};
  for (const std::uint64_t handle : handles) {
    SCOPED_TRACE(handle);
    auto started = start_capture(handle, recorder_);
    ASSERT_FALSE(started.ok());
    EXPECT_EQ(started.error().kind, CaptureError::Kind::ItemConversionFailed);
    EXPECT_EQ(capture::display(started.error()), "Failed to convert item to `GraphicsCaptureItem`");
  }
  EXPECT_TRUE(recorder_->frames().empty());
}

TEST_F(X11Capture, TitleBarHeightIsZeroWithoutAWindowManager) {
  TestWindowProcess window({});
  ASSERT_TRUE(window.ready());
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(recorder_->wait_for_frames(1));
  EXPECT_EQ(recorder_->frames().front().title_bar_height, 0u);
  EXPECT_TRUE(stop());
}

TEST_F(X11Capture, TitleBarHeightIsTheFrameTopUnderAWindowManager) {
  // The window first: a window manager takes over the windows it finds when
  // it starts, while one mapped during its start could slip past it.
  TestWindowProcess window({"--size", "300x200"});
  ASSERT_TRUE(window.ready());
  ASSERT_TRUE(server_.start_window_manager());
  const auto extents = server_.wait_for_frame_extents(window.id());
  ASSERT_TRUE(extents);
  ASSERT_GT((*extents)[2], 0u);
  recorder_->set_matcher(pattern_of(false, 300, 200, 0));
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(recorder_->wait_for_frames(1));
  const auto first = recorder_->frames().front();
  EXPECT_EQ(first.title_bar_height, (*extents)[2]);
  // The frame is the client area only, without the decoration.
  EXPECT_EQ(first.width, 300u);
  EXPECT_EQ(first.height, 200u);
  EXPECT_TRUE(recorder_->wait_for_match());
  EXPECT_TRUE(stop());
}

// Larger than any single get-image reply and than the screen.
TEST_F(X11Capture, LargeWindowIsReadWhole) {
  TestWindowProcess window({"--size", "5121x5120", "--phase", "9"});
  ASSERT_TRUE(window.ready());
  recorder_->set_matcher(pattern_of(false, 5121, 5120, 9));
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(recorder_->wait_for_match(kLargePatience));
  EXPECT_TRUE(stop());
}

class X11CaptureWithoutSharedMemory : public CaptureTest {
 protected:
  X11CaptureWithoutSharedMemory() : CaptureTest({"-extension", "MIT-SHM"}) {}
};

TEST_F(X11CaptureWithoutSharedMemory, LargeWindowIsReadInStrips) {
  TestWindowProcess window({"--size", "5121x5120", "--phase", "4"});
  ASSERT_TRUE(window.ready());
  recorder_->set_matcher(pattern_of(false, 5121, 5120, 4));
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(recorder_->wait_for_match(kLargePatience));
  EXPECT_TRUE(stop());
}

TEST(X11Device, AnUnreachableDisplayFailsTheDeviceNamingTheDisplay) {
  const char* saved = std::getenv("DISPLAY");
  const std::string restore = saved ? saved : "";
  setenv("DISPLAY", ":4999", 1);
  auto started = start_capture(0x200000, std::make_shared<Recorder>());
  if (saved) {
    setenv("DISPLAY", restore.c_str(), 1);
  } else {
    unsetenv("DISPLAY");
  }
  ASSERT_FALSE(started.ok());
  EXPECT_EQ(started.error().kind, CaptureError::Kind::DeviceFailed);
  EXPECT_NE(capture::display(started.error()).find("\":4999\""), std::string::npos)
      << capture::display(started.error());
}

}  // namespace
}  // namespace tarvix::x11_test
