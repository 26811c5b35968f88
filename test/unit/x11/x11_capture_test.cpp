// Real windows captured through the capture logic on the x11 platform. What
// the module's scripts see of ordinary windows (their pixels at every size,
// resizes, 5120-pixel frames, killed windows and servers, resources left
// behind) is checked by the script suites; these are the cases only the
// backend shows.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "capture/platform/x11/shm_segment.h"
#include "x11/capture_fixture.h"

namespace tarvix::x11_test {
namespace {

using capture::CaptureError;
using namespace std::chrono_literals;

using X11Capture = CaptureTest;

// Read from the window's own pixmap, not the screen: hidden parts count, and
// hiding and showing the window again ends nothing.
TEST_F(X11Capture, CoveredPartlyOffScreenAndReshownWindowIsCaptured) {
  TestWindow covered({"--size", "200x150", "--pos", "-60,-40"});
  TestWindow cover({"--size", "400x300"});
  ASSERT_TRUE(start(covered.id()));
  ASSERT_TRUE(wait_for_frame([](const FrameSeen&) { return true; }));
  ASSERT_TRUE(covered.command("unmap"));
  ASSERT_TRUE(covered.command("map"));
  ASSERT_TRUE(covered.command("redraw 7"));
  ASSERT_TRUE(wait_for_pattern(200, 150, 7));
  EXPECT_EQ(stop(), "");
  EXPECT_EQ(probe_->closed, 0);
  EXPECT_EQ(probe_->frames.front().title_bar_height, 0u);  // no window manager runs here
}

// Whether its window closes or its X server goes away, a capture ends once
// and its stop succeeds.
TEST_F(X11Capture, WhenTheWindowOrTheServerGoesTheCaptureEndsOnce) {
  for (const bool server_lost : {false, true}) {
    SCOPED_TRACE(server_lost ? "server lost" : "window closed");
    TestWindow window;
    probe_ = std::make_shared<HandlerProbe>();
    ASSERT_TRUE(start(window.id()));
    ASSERT_TRUE(wait_for_frame([](const FrameSeen&) { return true; }));
    ASSERT_TRUE(server_lost || window.command("close"));
    if (server_lost) server_.kill_server();
    ASSERT_TRUE(probe_->wait_until([](const HandlerProbe& p) { return p.closed > 0; }));
    EXPECT_TRUE(control_->halt_flag()->load());
    EXPECT_EQ(stop(), "");
    EXPECT_EQ(probe_->closed, 1);
  }
}

// Whatever the reason a handle names no capturable window, the start fails
// the same way and leaves nothing running.
TEST_F(X11Capture, HandlesThatNameNoCapturableWindowFailItemConversion) {
  TestWindow window;
  xcb_connection_t* c = server_.connection();
  const xcb_window_t input_only = xcb_generate_id(c);
  xcb_create_window(c, 0, input_only, server_.root(), 0, 0, 8, 8, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  const xcb_window_t unused = xcb_generate_id(c);
  server_.sync();

  const std::uint64_t handles[] = {0, 0x10000050dULL, (std::uint64_t{1} << 32) | window.id(),
                                   unused, input_only};
  for (const std::uint64_t handle : handles) {
    SCOPED_TRACE(handle);
    auto started = start_capture(handle);
    ASSERT_FALSE(started.ok());
    EXPECT_EQ(started.error().kind, CaptureError::Kind::ItemConversionFailed);
    EXPECT_EQ(capture::display(started.error()), "Failed to convert item to `GraphicsCaptureItem`");
  }
  EXPECT_TRUE(probe_->frames.empty());
}

TEST_F(X11Capture, TitleBarHeightIsTheFrameTopUnderAWindowManager) {
  // The window first: the window manager takes over the windows it finds
  // when it starts, while one mapped during its start could slip past it.
  TestWindow window({"--size", "300x200"});
  const auto top = server_.manage(window.id());
  ASSERT_TRUE(top);
  ASSERT_GT(*top, 0u);
  ASSERT_TRUE(start(window.id()));
  // The frame is the client area only, without the decoration.
  ASSERT_TRUE(wait_for_pattern(300, 200, 0));
  EXPECT_EQ(stop(), "");
  EXPECT_EQ(probe_->frames.front().title_bar_height, *top);
}

// The window shrinks after its frame was taken and before it is read: that
// frame is dropped, not padded, and frames of the new size follow.
TEST_F(X11Capture, AFrameWhoseWindowShrankBeforeItWasReadIsDropped) {
  TestWindow window({"--size", "320x240"});
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(wait_for_pattern(320, 240, 0));
  const std::size_t before = probe_->frame_count();
  before_next_read([this, window = window.id()] {
    const std::uint32_t size[] = {200, 100};
    xcb_configure_window(server_.connection(), window,
                         XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
    server_.sync();
    // Time for the capture to learn of the new size; not a duration under test.
    std::this_thread::sleep_for(200ms);
  });
  ASSERT_TRUE(window.command("redraw 1"));
  ASSERT_TRUE(probe_->wait_until([](const HandlerProbe& p) {
    return std::any_of(p.frames.begin(), p.frames.end(),
                       [](const FrameSeen& f) { return f.width == 200 && !f.rows.empty(); });
  }));
  EXPECT_EQ(stop(), "");
  for (auto f = probe_->frames.begin() + static_cast<std::ptrdiff_t>(before);
       f != probe_->frames.end(); ++f) {
    if (f->width == 320 && f->read_back_error.empty()) {
      EXPECT_TRUE(shows_pattern(*f, 320, 240, 1)) << "a frame of the old size was not whole";
    }
  }
}

// The server hangs while a frame is read: the read gives up at the bound.
TEST_F(X11Capture, AServerThatHangsDuringAReadFailsItAtTheBound) {
  TestWindow window({"--size", "64x48"});
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(wait_for_frame([](const FrameSeen&) { return true; }));
  before_next_read([this] { server_.freeze(true); });
  ASSERT_TRUE(window.command("redraw 1"));
  EXPECT_TRUE(wait_for_frame([](const FrameSeen& f) {
    return f.read_back_error.find("the X server did not answer within 3 s") != std::string::npos;
  }));
  server_.freeze(false);
}

// X windows may be up to 65535 pixels wide, frames 32767: a frame of a
// window grown past it fails to read, and a start on a window that wide
// fails.
TEST_F(X11Capture, WindowsTooLargeForAFrameFailTheReadOrTheStart) {
  TestWindow window({"--size", "64x48"});
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(wait_for_frame([](const FrameSeen&) { return true; }));
  // A redirected window cannot grow that far while it is mapped: the
  // server has no pixmap of that size to give it.
  xcb_connection_t* c = server_.connection();
  const std::uint32_t width = 40000;
  xcb_unmap_window(c, window.id());
  xcb_configure_window(c, window.id(), XCB_CONFIG_WINDOW_WIDTH, &width);
  xcb_map_window(c, window.id());
  xcb_flush(c);
  EXPECT_TRUE(wait_for_frame([](const FrameSeen& f) {
    return f.read_back_error.find("is now 40000 x 48 pixels; frames are limited to 32767") !=
           std::string::npos;
  }));
  EXPECT_EQ(stop(), "");

  auto again = start_capture(window.id());
  ASSERT_FALSE(again.ok());
  EXPECT_NE(capture::display(again.error()).find("40000 x 48 is out of range"), std::string::npos)
      << capture::display(again.error());
}

// Marked for removal while only we have it attached, so no kill at any
// point can leave it behind. A server that hangs on the attach shows it,
// and that wait ends at the bound too.
TEST_F(X11Capture, SharedMemoryIsMarkedForRemovalBeforeTheServerAttachesIt) {
  auto connection = capture::platform::x11::XConnection::open();
  ASSERT_TRUE(connection);
  constexpr long long kBytes = 3 << 20;
  // Whether our segment is marked for removal, as the kernel lists it; none
  // when there is none.
  auto our_segment = [] {
    std::ifstream list("/proc/sysvipc/shm");
    std::string line, perms;
    for (std::getline(list, line); std::getline(list, line);) {
      long long key = 0, id = 0, size = 0, creator = 0;
      std::istringstream(line) >> key >> id >> perms >> size >> creator;
      if (creator == getpid() && size == kBytes) {
        return std::optional((std::stoi(perms, nullptr, 8) & 01000) != 0);
      }
    }
    return std::optional<bool>();
  };
  server_.freeze(true);
  auto created = std::async(std::launch::async, [&] {
    return capture::platform::x11::ShmSegment::create(connection.value(), kBytes);
  });
  // Looked at until marked, for less than the bound the attach waits.
  bool marked = false;
  for (const auto until = std::chrono::steady_clock::now() + 2s;
       !marked && std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(1ms)) {
    marked = our_segment().value_or(false);
  }
  EXPECT_TRUE(marked) << "not marked for removal while the server attaches it";
  auto segment = created.get();
  server_.freeze(false);
  ASSERT_FALSE(segment.ok());
  EXPECT_NE(segment.error().message.find("did not answer within 3 s"), std::string::npos)
      << segment.error().message;
  EXPECT_FALSE(our_segment());
}

// Covered or off-screen parts cannot be read without redirection; black is
// not the window's content.
class X11CaptureWithoutComposite : public CaptureTest {
 protected:
  X11CaptureWithoutComposite() : CaptureTest({"-extension", "Composite"}) {}
};

TEST_F(X11CaptureWithoutComposite, TheStartIsRefusedClearly) {
  TestWindow window;
  auto started = start_capture(window.id());
  ASSERT_FALSE(started.ok());
  EXPECT_EQ(started.error().kind, CaptureError::Kind::ServiceFailed);
  EXPECT_NE(capture::display(started.error()).find("does not offer the Composite extension"),
            std::string::npos)
      << capture::display(started.error());
}

// Windows larger than one get-image reply are read in strips on a server
// without shared memory, whole: a window filled with one colour, then
// another, each by one request, while it is captured shows one colour in
// every frame.
class X11CaptureWithoutSharedMemory : public CaptureTest {
 protected:
  X11CaptureWithoutSharedMemory() : CaptureTest({"-extension", "MIT-SHM"}) {}
};

TEST_F(X11CaptureWithoutSharedMemory, ALargeWindowIsReadWholeEvenWhileRepainted) {
  TestWindow window({"--size", "2400x2000", "--phase", "9"});
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(wait_for_pattern(2400, 2000, 9));
  const std::size_t before = probe_->frame_count();
  std::atomic<bool> painting = true;
  // Connected here: libXau, which connecting reads, is not thread-safe.
  xcb_connection_t* p = xcb_connect(nullptr, nullptr);
  std::thread painter([&, window = window.id()] {
    const xcb_gcontext_t gc = xcb_generate_id(p);
    xcb_create_gc(p, gc, window, 0, nullptr);
    const xcb_rectangle_t all{0, 0, 2400, 2000};
    for (std::uint32_t colour = 0x102030; painting; colour ^= 0xFFFFFF) {
      xcb_change_gc(p, gc, XCB_GC_FOREGROUND, &colour);
      xcb_poly_fill_rectangle(p, window, gc, 1, &all);
      std::free(xcb_get_input_focus_reply(p, xcb_get_input_focus(p), nullptr));
    }
    xcb_disconnect(p);
  });
  const bool enough =
      probe_->wait_until([&](const HandlerProbe& p) { return p.frames.size() >= before + 4; });
  painting = false;
  painter.join();
  ASSERT_TRUE(enough);
  EXPECT_EQ(stop(), "");
  for (auto f = probe_->frames.begin() + static_cast<std::ptrdiff_t>(before);
       f != probe_->frames.end(); ++f) {
    const auto& px = f->rows;
    const bool one_colour =
        px.size() > 4 && std::memcmp(px.data(), px.data() + 4, px.size() - 4) == 0;
    EXPECT_TRUE(one_colour || shows_pattern(*f, 2400, 2000, 9)) << "a torn frame";
  }
}

// Each fails the start (at most the bound later) with a text that names the
// display and says why.
TEST_F(X11Capture, DisplaysThatCannotServeFailTheDeviceNamingTheDisplay) {
  const std::string ours = std::getenv("DISPLAY");
  auto fails = [this](const std::string& display, const std::string& why) {
    SCOPED_TRACE(why);
    setenv("DISPLAY", display.c_str(), 1);
    auto started = start_capture(0x200000);
    ASSERT_FALSE(started.ok());
    EXPECT_EQ(started.error().kind, CaptureError::Kind::DeviceFailed);
    const std::string text = capture::display(started.error());
    EXPECT_NE(text.find("\"" + display + "\": " + why), std::string::npos) << text;
  };
  fails(":4999", "cannot connect to the server");
  // Every client the server allows.
  std::vector<xcb_connection_t*> held;
  for (xcb_connection_t* c = nullptr; held.size() < 256; held.push_back(c)) {
    c = xcb_connect(ours.c_str(), nullptr);
    if (xcb_connection_has_error(c)) {
      xcb_disconnect(c);
      break;
    }
  }
  fails(ours, "the server refused the connection");
  for (xcb_connection_t* c : held)
    xcb_disconnect(c);
  // Its socket still takes connections, but nothing answers them.
  server_.freeze(true);
  fails(ours, "the X server did not answer within 3 s");
  server_.freeze(false);
}

}  // namespace
}  // namespace tarvix::x11_test
