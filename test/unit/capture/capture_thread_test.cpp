// The capture thread's life: hand-over, pumps, stop and the ways a capture
// ends by itself.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "capture/capture_fixture.h"

namespace tarvix::capture::testing {
namespace {

using Kind = CaptureError::Kind;

using CaptureThreadTest = CaptureTest;

TEST_F(CaptureThreadTest, RunsAndStopsInOrder) {
  CaptureControl control = start_ok();
  ASSERT_TRUE(fake.push_frame(kWindow));
  ASSERT_TRUE(wait_frames(1));
  auto stopped = control.stop();
  ASSERT_TRUE(stopped.ok()) << display(stopped.error());
  // Teardown undoes the set-up in reverse: no handler is left when the queue
  // shuts down, and the queue has shut down before the thread leaves WinRT.
  EXPECT_TRUE(in_order(
      fake.calls(),
      {"increment_mta_usage", "initialize_runtime", "create_dispatcher_queue_controller",
       "create_device", "create_item_for_window", "create_frame_pool", "session.start_capture",
       "get_message", "pool.try_get_next_frame", "get_message:quit", "pool.remove_frame_arrived",
       "pool.close", "session.close", "item.remove_closed", "shutdown_queue_async",
       "action.completed", "uninitialize_runtime", "decrement_mta_usage"}));
  EXPECT_TRUE(capture_thread_ended());
  EXPECT_FALSE(control.stop().ok());
  EXPECT_EQ(display(control.stop().error()), "Thread handle is taken out of the struct");
}

// A capture ends by itself when its window closes or its handler fails,
// stops or throws; the stop then joins the thread and reports how it ended.
// Frames queued behind the end never reach the handler.
TEST_F(CaptureThreadTest, EachWayACaptureEndsComesBackFromStop) {
  const struct {
    const char* how;
    void (*script)(HandlerProbe&);
    bool close;           // the window closes before two frames arrive
    const char* stopped;  // the stop's error text, "" for success
  } cases[] = {
      {"window closed", [](HandlerProbe&) {}, true, ""},
      {"handler's close fails", [](HandlerProbe& p) { p.closed_error = "flush failed"; }, true,
       "Windows capture error: Frame handler error: flush failed"},
      {"handler fails", [](HandlerProbe& p) { p.fail_on_frame = 0; }, false,
       "Windows capture error: Frame handler error: sender went away"},
      {"handler stops", [](HandlerProbe& p) { p.stop_on_frame = 0; }, false, ""},
      {"handler throws", [](HandlerProbe& p) { p.throw_on_frame = 0; }, false,
       "Failed to join thread"},
  };
  for (const auto& c : cases) {
    Fresh fresh;
    c.script(*fresh.probe);
    fresh.platform.hold("get_message");
    auto started = start_fresh(fresh);
    ASSERT_TRUE(started.ok()) << c.how;
    ASSERT_TRUE(
        fresh.platform.wait_until([&] { return fresh.platform.waiting_at("get_message"); }));
    if (c.close) {
      ASSERT_TRUE(fresh.platform.close_window(kWindow)) << c.how;
      fresh.platform.resize_window(kWindow, {64, 48});  // its last frame comes after Closed
    }
    ASSERT_TRUE(fresh.platform.push_frame(kWindow) && fresh.platform.push_frame(kWindow));
    fresh.platform.open("get_message");
    ASSERT_TRUE(fresh.platform.wait_until([&] { return capture_thread_ended(fresh.platform); }))
        << c.how;
    EXPECT_EQ(fresh.platform.count("pool.try_get_next_frame"), c.close ? 0 : 1) << c.how;
    EXPECT_EQ(fresh.probe->frame_count(), c.close ? 0u : 1u) << c.how;
    EXPECT_EQ(fresh.probe->closed, c.close ? 1 : 0) << c.how;
    auto stopped = started->stop();
    EXPECT_EQ(stopped.ok() ? "" : display(stopped.error()), c.stopped) << c.how;
    EXPECT_EQ(fresh.flags.use_count(), 1) << c.how;
  }
}

// The window closes while a stop is on its way: only the first to set the
// halt flag posts a quit, and the queue's shutdown still runs to its end.
TEST_F(CaptureThreadTest, WindowClosingDuringAStopPostsNoSecondQuit) {
  fake.hold("get_message");
  CaptureControl control = start_ok();
  ASSERT_TRUE(fake.close_window(kWindow));
  auto stopping = std::async(std::launch::async, [&] { return control.stop(); });
  ASSERT_TRUE(fake.wait_until([&] { return control.halt_flag()->load(); }));
  fake.open("get_message");
  EXPECT_TRUE(stopping.get().ok());
  EXPECT_EQ(probe->closed, 1);
  // Posts retried while the thread had no queue yet do not count.
  EXPECT_EQ(fake.count("post_thread_message:quit") - fake.count("post_thread_message:no queue"), 1);
  EXPECT_TRUE(in_order(fake.calls(), {"action.completed", "uninitialize_runtime"}));
}

TEST_F(CaptureThreadTest, StopBeforeTheThreadHasAQueueIsRetriedUntilItLands) {
  fake.hold("get_message");
  CaptureControl control = start_ok();
  ASSERT_TRUE(fake.wait_until([&] { return fake.waiting_at("get_message") == 1; }));
  auto stopping = std::async(std::launch::async, [&] { return control.stop(); });
  ASSERT_TRUE(fake.wait_until([&] { return fake.count("post_thread_message:no queue") >= 3; }));
  fake.open("get_message");
  auto stopped = stopping.get();
  EXPECT_TRUE(stopped.ok()) << display(stopped.error());
}

// Codes that would make the service drop the frame handler end the capture
// with the error instead of going back to the service.
TEST_F(CaptureThreadTest, FrameCallFailingAsIfTheSourceWereGoneEndsTheCapture) {
  for (platform::Hresult code :
       {platform::kDisconnected, platform::kServerUnavailable, platform::kCantExecute}) {
    Fresh fresh;
    fresh.platform.fail("pool.try_get_next_frame", {code, "gone"});
    auto started = start_fresh(fresh);
    ASSERT_TRUE(started.ok());
    ASSERT_TRUE(fresh.platform.push_frame(kWindow));
    ASSERT_TRUE(fresh.platform.wait_until([&] { return capture_thread_ended(fresh.platform); }));
    EXPECT_EQ(fresh.platform.count("pool.frame_arrived_failed"), 0) << code;
    auto stopped = started->stop();
    ASSERT_FALSE(stopped.ok());
    EXPECT_EQ(
        display(stopped.error())
            .rfind("Windows capture error: Frame handler error: Windows API error: gone (0x", 0),
        0u)
        << display(stopped.error());
  }
}

TEST_F(CaptureThreadTest, FailuresWhileEndingAreReportedAfterTeardown) {
  const std::pair<Broken, const char*> cases[] = {
      {{"get_message"}, "Failed to run the capture thread message loop"},
      {{"get_message", false, 1}, "Failed to run the capture thread message loop"},
      {{"shutdown_queue_async"}, "Failed to shut down dispatcher queue"},
      {{"shutdown_queue_async", true}, "Failed to shut down dispatcher queue"},
      {{"action.set_completed"}, "Failed to set dispatcher queue completed handler"},
  };
  for (const auto& [broken, text] : cases) {
    Fresh fresh;
    broken.apply(fresh.platform);
    auto started = start_fresh(fresh);
    ASSERT_TRUE(started.ok()) << broken.call;
    auto stopped = started->stop();
    ASSERT_FALSE(stopped.ok()) << broken.call;
    EXPECT_EQ(display(stopped.error()), std::string("Windows capture error: ") + text)
        << broken.call;
    for (const char* undone : {"pool.close", "item.remove_closed", "decrement_mta_usage"})
      EXPECT_EQ(fresh.platform.count(undone), 1) << broken.call << ": " << undone;
  }
}

TEST_F(CaptureThreadTest, PostThatCannotBeRetriedLeavesTheThreadRunning) {
  fake.fail("post_thread_message", {platform::kFail, "refused"}, 0, 1);
  CaptureControl control = start_ok();
  auto stopped = control.stop();
  ASSERT_FALSE(stopped.ok());
  EXPECT_EQ(display(stopped.error()), "Failed to post thread message");
  EXPECT_EQ(fake.count("decrement_mta_usage"), 0);
  // The halt flag is set, so the window's closing posts no quit; a later
  // one still ends the thread.
  ASSERT_TRUE(fake.close_window(kWindow));
  ASSERT_TRUE(probe->wait_until([](const HandlerProbe& p) { return p.closed == 1; }));
  ASSERT_TRUE(fake.post_thread_message(fake.capture_thread(), platform::kWmQuit, 0, 0).ok());
  ASSERT_TRUE(wait_ended());
}

TEST_F(CaptureThreadTest, DroppedControlLeavesTheCaptureRunningUntilTheWindowCloses) {
  { CaptureControl control = start_ok(); }
  ASSERT_TRUE(fake.push_frame(kWindow));
  ASSERT_TRUE(wait_frames(1));
  ASSERT_TRUE(fake.close_window(kWindow));
  ASSERT_TRUE(wait_ended());
  EXPECT_TRUE(probe->wait_until([](const HandlerProbe& p) { return p.destroyed; }));
}

}  // namespace
}  // namespace tarvix::capture::testing
