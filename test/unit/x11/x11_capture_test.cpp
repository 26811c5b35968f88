// Real windows captured through the capture logic on the x11 platform.
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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

#include "capture/capture_error.h"
#include "capture/platform/x11/shm_segment.h"
#include "x11/capture_fixture.h"
#include "x11/test_window_process.h"

namespace tarvix::x11_test {
namespace {

using capture::CaptureError;
using namespace std::chrono_literals;

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
  EXPECT_EQ(first.title_bar_height, 0u);  // no window manager runs here
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

// Hidden and shown again on the way, which ends nothing.
TEST_F(X11Capture, CoveredPartlyOffScreenAndReshownWindowIsCaptured) {
  TestWindowProcess covered({"--size", "200x150", "--pos", "-60,-40"});
  ASSERT_TRUE(covered.ready());
  TestWindowProcess cover({"--size", "400x300"});
  ASSERT_TRUE(cover.ready());
  ASSERT_TRUE(start(covered.id()));
  ASSERT_TRUE(recorder_->wait_for_frames(1));
  ASSERT_TRUE(covered.command("unmap"));
  ASSERT_TRUE(covered.command("map"));

  recorder_->set_matcher(pattern_of(false, 200, 150, 7));
  ASSERT_TRUE(covered.command("redraw 7"));
  ASSERT_TRUE(recorder_->wait_for_match());
  EXPECT_EQ(recorder_->closed_count(), 0);
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

// However the window goes, the capture ends once and its stop succeeds.
struct Ending {
  const char* name;
  std::vector<std::string> window_args;
  void (*end)(TestWindowProcess&, XServer&);
};
void PrintTo(const Ending& ending, std::ostream* os) {
  *os << ending.name;
}
class X11CaptureEnds : public CaptureTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(X11CaptureEnds, TheCaptureEndsOnceAndStopSucceeds) {
  TestWindowProcess window(GetParam().window_args);
  ASSERT_TRUE(window.ready());
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(recorder_->wait_for_frames(1));
  GetParam().end(window, server_);
  ASSERT_TRUE(recorder_->wait_for_closed());
  EXPECT_TRUE(control_->halt_flag()->load());
  EXPECT_TRUE(stop());
  EXPECT_EQ(recorder_->closed_count(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, X11CaptureEnds,
    ::testing::Values(
        Ending{"WindowClosed", {}, [](auto& w, auto&) { ASSERT_TRUE(w.command("close")); }},
        Ending{"ProgramKilled", {"--argb"}, [](auto& w, auto&) { w.kill_now(); }},
        Ending{"ServerLost", {}, [](auto&, auto& server) { server.kill_server(); }}),
    [](const auto& info) { return std::string(info.param.name); });

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

// Larger than any single get-image reply and than the screen: read whole
// through shared memory, and in strips on a server without it.
class X11LargeWindow : public CaptureTest,
                       public ::testing::WithParamInterface<std::vector<std::string>> {
 protected:
  X11LargeWindow() : CaptureTest(GetParam()) {}
};

TEST_P(X11LargeWindow, IsReadWhole) {
  TestWindowProcess window({"--size", "5121x5120", "--phase", "9"});
  ASSERT_TRUE(window.ready());
  recorder_->set_matcher(pattern_of(false, 5121, 5120, 9));
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(recorder_->wait_for_match(kLargePatience));
  EXPECT_TRUE(stop());
}

INSTANTIATE_TEST_SUITE_P(Servers, X11LargeWindow,
                         ::testing::Values(std::vector<std::string>{},
                                           std::vector<std::string>{"-extension", "MIT-SHM"}),
                         [](const auto& info) {
                           return std::string(info.param.empty() ? "WithSharedMemory"
                                                                 : "WithoutSharedMemory");
                         });

// The window shrinks after its frame was taken and before it is read: that
// frame is dropped, not padded, and frames of the new size follow.
TEST_F(X11Capture, AFrameWhoseWindowShrankBeforeItWasReadIsDropped) {
  TestWindowProcess window({"--size", "320x240"});
  ASSERT_TRUE(window.ready());
  recorder_->set_matcher(pattern_of(false, 320, 240, 0));
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(recorder_->wait_for_match());
  const std::size_t before = recorder_->frames().size();
  recorder_->set_matcher(pattern_of(false, 320, 240, 1));
  recorder_->set_before_read([window = window.id()] {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const std::uint32_t size[] = {200, 100};
    xcb_configure_window(c, window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
    // Time for the capture to learn of the new size; not a duration under test.
    std::this_thread::sleep_for(200ms);
  });
  ASSERT_TRUE(window.command("redraw 1"));
  ASSERT_TRUE(recorder_->wait_until([](const auto& frames) {
    return std::any_of(frames.begin(), frames.end(), [](const auto& f) { return f.width == 200; });
  }));
  const auto frames = recorder_->frames();
  for (auto f = frames.begin() + static_cast<std::ptrdiff_t>(before); f != frames.end(); ++f) {
    if (f->width == 320) {
      EXPECT_TRUE(f->matched) << "a frame of the old size was not whole";
    }
  }
  EXPECT_TRUE(stop());
}

// The server hangs while a frame is read: the read gives up at the bound and
// the capture ends with an error that its stop reports.
TEST_F(X11Capture, AServerThatHangsDuringACaptureEndsItWithAnError) {
  TestWindowProcess window({"--size", "64x48"});
  ASSERT_TRUE(window.ready());
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(recorder_->wait_for_frames(1));
  recorder_->set_before_read([this] { server_.freeze(true); });
  ASSERT_TRUE(window.command("redraw 1"));
  wait_for_halt();
  server_.freeze(false);
  const std::string why = stop_error();
  EXPECT_NE(why.find("the X server did not answer within 3 s"), std::string::npos) << why;
}

// X windows may be up to 65535 pixels wide, frames 32767: a start on a
// wider window fails, and a capture whose window grows past it ends with an
// error that its stop reports.
TEST_F(X11Capture, WindowsTooLargeForAFrameFailTheStartOrEndTheCapture) {
  TestWindowProcess window({"--size", "64x48"});
  ASSERT_TRUE(window.ready());
  ASSERT_TRUE(start(window.id()));
  ASSERT_TRUE(recorder_->wait_for_frames(1));
  // A redirected window cannot grow that far while it is mapped: the
  // server has no pixmap of that size to give it.
  xcb_connection_t* c = server_.connection();
  const std::uint32_t width = 40000;
  xcb_unmap_window(c, window.id());
  xcb_configure_window(c, window.id(), XCB_CONFIG_WINDOW_WIDTH, &width);
  xcb_map_window(c, window.id());
  xcb_flush(c);
  wait_for_halt();
  const std::string why = stop_error();
  EXPECT_NE(why.find("is now 40000 x 48 pixels; frames are limited to 32767"), std::string::npos)
      << why;

  auto again = start_capture(window.id(), recorder_);
  ASSERT_FALSE(again.ok());
  EXPECT_NE(capture::display(again.error()).find("40000 x 48 is out of range"), std::string::npos)
      << capture::display(again.error());
}

// Marked for removal while only we have it attached, so no kill at any
// point can leave it behind. A server that hangs on the attach shows it,
// and that wait ends at the bound too.
TEST_F(X11Capture, SharedMemoryIsMarkedForRemovalBeforeTheServerAttachesIt) {
  ASSERT_TRUE(server_.ready());
  auto connection = capture::platform::x11::XConnection::open();
  ASSERT_TRUE(connection);
  constexpr std::size_t kBytes = 3 << 20;
  // perms of our segment as the kernel lists it; none when there is none.
  auto our_segment = [] {
    std::ifstream list("/proc/sysvipc/shm");
    std::string line;
    std::getline(list, line);
    while (std::getline(list, line)) {
      std::istringstream fields(line);
      long long key = 0, id = 0, size = 0, creator = 0;
      std::string perms;
      fields >> key >> id >> perms >> size >> creator;
      if (creator == getpid() && size == static_cast<long long>(kBytes)) {
        return std::optional<int>(std::stoi(perms, nullptr, 8));
      }
    }
    return std::optional<int>();
  };
  server_.freeze(true);
  auto created = std::async(std::launch::async, [&] {
    return capture::platform::x11::ShmSegment::create(connection.value(), kBytes);
  });
  // Looked at until marked, for less than the bound the attach waits.
  std::optional<int> perms;
  const auto until = std::chrono::steady_clock::now() + 2s;
  while (!(perms && (*perms & 01000)) && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(1ms);
    perms = our_segment();
  }
  ASSERT_TRUE(perms);
  EXPECT_NE(*perms & 01000, 0) << "not marked for removal while the server attaches it";
  auto segment = created.get();
  server_.freeze(false);
  ASSERT_FALSE(segment.ok());
  EXPECT_NE(segment.error().message.find("did not answer within 3 s"), std::string::npos)
      << segment.error().message;
  EXPECT_FALSE(our_segment());
}

class X11CaptureWithoutComposite : public CaptureTest {
 protected:
  X11CaptureWithoutComposite() : CaptureTest({"-extension", "Composite"}) {}
};

// Covered or off-screen parts cannot be read without redirection; black is
// not the window's content.
TEST_F(X11CaptureWithoutComposite, TheStartIsRefusedClearly) {
  TestWindowProcess window({});
  ASSERT_TRUE(window.ready());
  auto started = start_capture(window.id(), recorder_);
  ASSERT_FALSE(started.ok());
  EXPECT_EQ(started.error().kind, CaptureError::Kind::ServiceFailed);
  EXPECT_NE(capture::display(started.error()).find("does not offer the Composite extension"),
            std::string::npos)
      << capture::display(started.error());
}

class X11CaptureAtTheClientLimit : public CaptureTest {
 protected:
  X11CaptureAtTheClientLimit() : CaptureTest({"-maxclients", "64"}) {}
};

TEST_F(X11CaptureAtTheClientLimit, TheStartSaysTheServerRefusedTheConnection) {
  ASSERT_TRUE(server_.ready());
  std::vector<xcb_connection_t*> held;
  for (xcb_connection_t* c = nullptr; held.size() < 64; held.push_back(c)) {
    c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
      xcb_disconnect(c);
      break;
    }
  }
  auto started = start_capture(0x200000, recorder_);
  for (xcb_connection_t* c : held)
    xcb_disconnect(c);
  ASSERT_FALSE(started.ok());
  EXPECT_NE(capture::display(started.error()).find("the server refused the connection"),
            std::string::npos)
      << capture::display(started.error());
}

class X11CaptureWithoutSharedMemory : public CaptureTest {
 protected:
  X11CaptureWithoutSharedMemory() : CaptureTest({"-extension", "MIT-SHM"}) {}
};

// A window larger than one get-image reply, filled with one colour, then
// another, each by one request, while it is captured: read in strips, every
// frame still shows one colour.
TEST_F(X11CaptureWithoutSharedMemory, FramesOfAWindowRepaintedWhileReadAreWhole) {
  ASSERT_TRUE(server_.ready());
  xcb_connection_t* c = server_.connection();
  const xcb_window_t window = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, server_.root(), 0, 0, 2400, 2000, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
  xcb_map_window(c, window);
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  std::atomic<bool> painting = true;
  // Connected here: libXau, which connecting reads, is not thread-safe.
  xcb_connection_t* p = xcb_connect(nullptr, nullptr);
  std::thread painter([&] {
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
  recorder_->set_matcher([](const Picture& p) {
    return p.bgra.size() > 4 &&
           std::memcmp(p.bgra.data(), p.bgra.data() + 4, p.bgra.size() - 4) == 0;
  });
  ASSERT_TRUE(start(window));
  const bool enough = recorder_->wait_for_frames(4);
  painting = false;
  painter.join();
  ASSERT_TRUE(enough);
  EXPECT_TRUE(stop());
  for (const auto& f : recorder_->frames())
    EXPECT_TRUE(f.matched) << "a torn frame";
}

// A listening socket where an X server's would be, that never answers.
class SilentServer {
 public:
  SilentServer() {
    for (int n = 200; n < 1000 && display_.empty(); ++n) {
      const std::string path = "/tmp/.X11-unix/X" + std::to_string(n);
      struct stat st {};
      if (stat(path.c_str(), &st) == 0 ||
          stat(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), &st) == 0)
        continue;
      fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      path.copy(address.sun_path, sizeof address.sun_path - 1);
      if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
          listen(fd_, 8) == 0) {
        path_ = path;
        display_ = std::string(":").append(std::to_string(n));
      } else {
        close(fd_);
      }
    }
  }
  ~SilentServer() {
    if (display_.empty()) return;
    close(fd_);
    unlink(path_.c_str());
  }
  const std::string& display() const { return display_; }

 private:
  int fd_ = -1;
  std::string path_, display_;
};

// Each fails the start (at most the bound later) with a text that names the
// display and says why.
TEST(X11Device, DisplaysThatCannotServeFailTheDeviceNamingTheDisplay) {
  SilentServer silent;
  ASSERT_FALSE(silent.display().empty());
  const std::pair<std::string, std::string> rows[] = {
      {":4999", "cannot connect to the server"},
      {silent.display(), "the X server did not answer within 3 s"},
  };
  const char* saved = std::getenv("DISPLAY");
  const std::string restore = saved ? saved : "";
  for (const auto& [display, why] : rows) {
    SCOPED_TRACE(display);
    setenv("DISPLAY", display.c_str(), 1);
    auto started = start_capture(0x200000, std::make_shared<Recorder>());
    ASSERT_FALSE(started.ok());
    EXPECT_EQ(started.error().kind, CaptureError::Kind::DeviceFailed);
    const std::string text = capture::display(started.error());
    EXPECT_NE(text.find("\"" + display + "\": " + why), std::string::npos) << text;
  }
  if (saved) {
    setenv("DISPLAY", restore.c_str(), 1);
  } else {
    unsetenv("DISPLAY");
  }
}

}  // namespace
}  // namespace tarvix::x11_test
