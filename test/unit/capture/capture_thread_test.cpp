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
  // Teardown undoes the set-up in reverse, after the queue has shut down.
  EXPECT_TRUE(in_order(
      fake.calls(),
      {"increment_mta_usage", "initialize_runtime", "create_dispatcher_queue_controller",
       "create_device", "create_item_for_window", "create_frame_pool", "session.start_capture",
       "get_message", "pool.try_get_next_frame", "shutdown_queue_async", "action.completed",
       "post_quit_message", "get_message:quit", "pool.remove_frame_arrived", "pool.close",
       "session.close", "item.remove_closed", "uninitialize_runtime", "decrement_mta_usage"}));
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
  // The halt flag is set, but the window's closing still ends the thread.
  ASSERT_TRUE(fake.close_window(kWindow));
  ASSERT_TRUE(wait_ended());
  ASSERT_TRUE(probe->wait_until([](const HandlerProbe& p) { return p.closed == 1; }));
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
