// The thread that follows a capture's X events, on a private X server.
#include "capture/platform/x11/event_watcher.h"

#include <poll.h>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <utility>

#include "capture/platform/x11/x_connection.h"
#include "x11/capture_fixture.h"

namespace tarvix::x11_test {
namespace {

using capture::platform::x11::EventWatcher;

// The capture acts on a DestroyNotify (or a damage, a map, a resize) only in
// on_idle. One that reaches the socket while on_idle runs is read by the
// thread straight after it; on_idle must still see it before the thread
// sleeps, as nothing else may ever wake it.
using X11EventWatcher = CaptureTest;

TEST_F(X11EventWatcher, AnEventArrivingWhileIdleRunsIsSeenByIdleBeforeTheThreadSleeps) {
  xcb_connection_t* other = server_.connection();
  const xcb_window_t window = xcb_generate_id(other);
  xcb_create_window(other, XCB_COPY_FROM_PARENT, window, server_.root(), 0, 0, 16, 16, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
  server_.sync();
  auto connection = capture::platform::x11::XConnection::open();
  ASSERT_TRUE(connection.ok());
  xcb_connection_t* watched = connection.value()->raw();
  const std::uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  xcb_change_window_attributes(watched, window, XCB_CW_EVENT_MASK, &structure);
  std::free(xcb_get_input_focus_reply(watched, xcb_get_input_focus(watched), nullptr));

  std::mutex mutex;
  std::condition_variable changed;
  bool destroy_sent = false, destroyed = false, idle_saw_it = false;
  auto on_event = [&](const xcb_generic_event_t& e) {
    std::lock_guard lock(mutex);
    destroyed |= (e.response_type & 0x7F) == XCB_DESTROY_NOTIFY;
  };
  auto on_idle = [&]() -> std::optional<EventWatcher::Clock::time_point> {
    std::unique_lock lock(mutex);
    idle_saw_it = destroyed;
    changed.notify_all();
    if (std::exchange(destroy_sent, true)) return std::nullopt;
    lock.unlock();
    // Only this thread reads the watched connection: once its socket is
    // readable, the event is there for the read that follows on_idle.
    xcb_destroy_window(other, window);
    server_.sync();
    pollfd readable{xcb_get_file_descriptor(watched), POLLIN, 0};
    poll(&readable, 1, 20000);
    return std::nullopt;
  };
  auto watcher = EventWatcher::start(connection.value(), {on_event, on_idle, [] {}});
  ASSERT_TRUE(watcher.ok());
  std::unique_lock lock(mutex);
  EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(20), [&] { return idle_saw_it; }));
  lock.unlock();
  watcher.value().reset();
}

}  // namespace
}  // namespace tarvix::x11_test
