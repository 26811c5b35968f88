// The capture thread's life: hand-over, pumps, stop and the ways a capture
// ends by itself.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "capture/capture_fixture.h"

namespace tarvix::capture::testing {
namespace {

using Kind = CaptureError::Kind;

class CaptureThreadTest : public CaptureTest {
 protected:
  CaptureControl start_ok() {
    auto started = start(settings());
    if (!started.ok()) ADD_FAILURE() << display(started.error());
    return std::move(started).value();
  }
  bool wait_frames(std::size_t n) {
    return probe->wait_until([n](const HandlerProbe& p) { return p.frames.size() >= n; });
  }
  bool wait_ended() {
    return fake.wait_until([&] { return capture_thread_ended(); });
  }
};

TEST_F(CaptureThreadTest, RunsAndStopsInOrder) {
  CaptureControl control = start_ok();
  ASSERT_TRUE(fake.push_frame(kWindow));
  ASSERT_TRUE(wait_frames(1));
  auto stopped = control.stop();
  ASSERT_TRUE(stopped.ok()) << display(stopped.error());
  EXPECT_TRUE(in_order(fake.calls(), {"increment_mta_usage",
                                      "initialize_runtime",
                                      "create_dispatcher_queue_controller",
                                      "create_device",
                                      "create_item_for_window",
                                      "is_api_contract_present",
                                      "is_capture_supported",
                                      "is_property_present:IsCursorCaptureEnabled",
                                      "is_property_present:IsBorderRequired",
                                      "extended_frame_bounds",
                                      "device.create_capture_device",
                                      "create_frame_pool",
                                      "pool.create_capture_session",
                                      "item.add_closed",
                                      "pool.add_frame_arrived",
                                      "session.set_cursor_capture_enabled:false",
                                      "session.set_border_required:false",
                                      "session.start_capture",
                                      "get_message",
                                      "pool.try_get_next_frame",
                                      "get_message:quit",
                                      "shutdown_queue_async",
                                      "action.set_completed",
                                      "action.completed",
                                      "post_quit_message",
                                      "get_message:quit",
                                      "pool.remove_frame_arrived",
                                      "pool.close",
                                      "session.close",
                                      "item.remove_closed",
                                      "uninitialize_runtime",
                                      "decrement_mta_usage"}));
  EXPECT_TRUE(capture_thread_ended());
  EXPECT_FALSE(control.stop().ok());
  EXPECT_EQ(display(control.stop().error()), "Thread handle is taken out of the struct");
}

TEST_F(CaptureThreadTest, StopAfterTheWindowClosedJoinsAndSucceeds) {
  CaptureControl control = start_ok();
  ASSERT_TRUE(fake.close_window(kWindow));
  ASSERT_TRUE(wait_ended());
  EXPECT_TRUE(control.halt_flag()->load());
  EXPECT_EQ(probe->closed, 1);
  EXPECT_TRUE(control.stop().ok());
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

TEST_F(CaptureThreadTest, HandlerErrorEndsTheCaptureAndComesBackFromStop) {
  probe->fail_on_frame = 0;
  fake.hold("get_message");
  CaptureControl control = start_ok();
  // Both frames are queued before the pump runs: the second must not reach
  // the handler after the first failed.
  ASSERT_TRUE(fake.push_frame(kWindow));
  ASSERT_TRUE(fake.push_frame(kWindow));
  fake.open("get_message");
  ASSERT_TRUE(wait_ended());
  EXPECT_EQ(probe->frame_count(), 1u);
  EXPECT_EQ(fake.count("pool.try_get_next_frame"), 1);
  auto stopped = control.stop();
  ASSERT_FALSE(stopped.ok());
  EXPECT_EQ(display(stopped.error()),
            "Windows capture error: Frame handler error: sender went away");
}

TEST_F(CaptureThreadTest, FrameControlStopEndsTheCaptureWithoutError) {
  probe->stop_on_frame = 0;
  CaptureControl control = start_ok();
  ASSERT_TRUE(fake.push_frame(kWindow));
  ASSERT_TRUE(wait_ended());
  EXPECT_TRUE(control.stop().ok());
}

TEST_F(CaptureThreadTest, HandlerErrorAtCloseIsKept) {
  probe->closed_error = "flush failed";
  CaptureControl control = start_ok();
  ASSERT_TRUE(fake.close_window(kWindow));
  ASSERT_TRUE(wait_ended());
  auto stopped = control.stop();
  ASSERT_FALSE(stopped.ok());
  EXPECT_EQ(display(stopped.error()), "Windows capture error: Frame handler error: flush failed");
}

TEST_F(CaptureThreadTest, ThreadThatFaultsIsReportedAsJoinFailed) {
  probe->throw_on_frame = 0;
  CaptureControl control = start_ok();
  ASSERT_TRUE(fake.push_frame(kWindow));
  ASSERT_TRUE(wait_frames(1));
  auto stopped = control.stop();
  ASSERT_FALSE(stopped.ok());
  EXPECT_EQ(stopped.error().kind, StopError::Kind::JoinFailed);
  EXPECT_EQ(display(stopped.error()), "Failed to join thread");
  EXPECT_EQ(flags.use_count(), 1);
}

TEST_F(CaptureThreadTest, FailuresWhileEndingAreReportedAfterTeardown) {
  const struct {
    const char* call;
    bool null;
    int skip;
    const char* text;
  } cases[] = {
      {"get_message", false, 0, "Failed to run the capture thread message loop"},
      {"get_message", false, 1, "Failed to run the capture thread message loop"},
      {"shutdown_queue_async", false, 0, "Failed to shut down dispatcher queue"},
      {"shutdown_queue_async", true, 0, "Failed to shut down dispatcher queue"},
      {"action.set_completed", false, 0, "Failed to set dispatcher queue completed handler"},
  };
  for (const auto& c : cases) {
    fakes::FakePlatform platform;
    platform.add_window(kWindow);
    if (c.null) {
      platform.return_null(c.call);
    } else {
      platform.fail(c.call, {}, c.skip);
    }
    auto started = start_capture_thread(settings(), platform);
    ASSERT_TRUE(started.ok()) << c.call;
    auto stopped = started->stop();
    ASSERT_FALSE(stopped.ok()) << c.call;
    EXPECT_EQ(display(stopped.error()), std::string("Windows capture error: ") + c.text) << c.call;
    EXPECT_EQ(platform.count("pool.close"), 1) << c.call;
    EXPECT_EQ(platform.count("item.remove_closed"), 1) << c.call;
    EXPECT_EQ(platform.count("decrement_mta_usage"), 1) << c.call;
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
