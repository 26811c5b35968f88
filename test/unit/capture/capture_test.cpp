// A capture on the fake platform: its settings, its start, its frames, its
// stop, and every way it fails to start or ends by itself.
#include <gtest/gtest.h>

#include <future>
#include <limits>
#include <stdexcept>

#include "capture/capture_fixture.h"

namespace tarvix::capture::testing {
namespace {

TEST(CaptureSettings, IntervalBecomes100NanosecondTicksTruncatedAndClamped) {
  constexpr auto max_seconds = std::numeric_limits<std::uint64_t>::max();
  const std::pair<Duration, platform::TimeSpanTicks> cases[] = {
      {{0, 99}, 0},
      // Nanoseconds overflow 64 bits here though the ticks do not.
      {{20'000'000'000ull, 0}, 200'000'000'000'000'000},
      {{max_seconds, 999'999'999}, std::numeric_limits<std::int64_t>::max()},
  };
  for (const auto& [duration, ticks] : cases)
    EXPECT_EQ(to_ticks(duration), ticks) << duration.seconds << " s " << duration.nanoseconds;
}

TEST(CaptureSettings, OptionsAreSetWithTheirValuesBeforeTheCaptureStarts) {
  Rig rig;
  auto started = rig.start([](CaptureSettings& s) {
    other_options(s);
    s.cursor = CursorSetting::On;
  });
  ASSERT_TRUE(started.ok()) << display(started.error());
  EXPECT_TRUE(
      in_order(rig.fake.calls(),
               {"pool.create_capture_session", "session.set_cursor_capture_enabled:true",
                "session.set_border_required:false", "session.set_include_secondary_windows:true",
                "session.set_min_update_interval:15000000", "session.set_dirty_region_mode:1",
                "session.start_capture"}));
  EXPECT_TRUE(started->stop().ok());
}

TEST(CaptureThread, StopsInOrderOnce) {
  Rig rig;
  CaptureControl control = rig.start_ok();
  auto stopped = control.stop();
  ASSERT_TRUE(stopped.ok()) << display(stopped.error());
  // Teardown undoes the set-up in reverse: no handler is left when the queue
  // shuts down, and the queue has shut down before the thread leaves WinRT.
  EXPECT_TRUE(in_order(rig.fake.calls(),
                       {"get_message:quit", "pool.remove_frame_arrived", "pool.close",
                        "session.close", "item.remove_closed", "shutdown_queue_async",
                        "action.completed", "uninitialize_runtime", "decrement_mta_usage"}));
  EXPECT_EQ(display(control.stop().error()), "Thread handle is taken out of the struct");
}

using Script = void (*)(Rig&, CaptureSettings&);

void throwing_factory(Rig& rig, CaptureSettings& s) {
  s.handler_factory = [flags = rig.flags](auto, auto) -> std::unique_ptr<CaptureHandler> {
    throw std::runtime_error("no handler today");
  };
}

// A start that fails at any step says which and undoes exactly what it had
// done, on the capture thread, shutting the dispatcher queue down once it
// exists. A capture that started ends by itself when its window closes, its
// handler stops or throws, its source is gone or its pump fails: the stop
// then joins the thread and reports how it ended, after the same teardown.
// Frames queued behind the end never reach the handler, and the service is
// told of no failure (it would drop the frame handler for good).
TEST(CaptureThread, EachFailedStartAndEachEndIsReportedAndUndone) {
  const Script old_device = [](Rig& r, CaptureSettings&) {
    r.fake.set_feature_level(platform::FeatureLevel::Level10_1);
  };
  const Script close_fails = [](Rig& r, CaptureSettings&) { r.probe->closed_error = "flushed"; };
  const Script stop_first = [](Rig& r, CaptureSettings&) { r.probe->stop_on_frame = 0; };
  const Script throw_first = [](Rig& r, CaptureSettings&) { r.probe->throw_on_frame = 0; };
  const char* const service = "Graphics capture error: Windows API error: Unspecified error";
  const char* const next_frame = "pool.try_get_next_frame";
  const std::string ended = "Windows capture error: ";
  const std::string gone = ended + "Frame handler error: Windows API error: Unknown error (0x";
  const std::string pump = ended + "Failed to run the capture thread message loop";
  const std::string shutdown = ended + "Failed to shut down dispatcher queue";
  const std::string completion = ended + "Failed to set dispatcher queue completed handler";
  const struct {
    Broken broken;
    Script script;
    const char* start;      // part of the start's error; none if it starts
    bool close = false;     // the window closes before two frames arrive
    int tries = 0;          // frames asked of the pool
    int seen = 0;           // frames that reached the handler
    std::string stop = "";  // the stop's error, "" for none
  } cases[] = {
      {{"is_api_contract_present", true}, {}, "The Graphics Capture API is not supported"},
      {{"is_capture_supported", true}, {}, "The Graphics Capture API is not supported"},
      {{"is_property_present:IncludeSecondaryWindows", true}, {}, "windows is not supported"},
      {{"is_property_present:MinUpdateInterval", true}, {}, "interval is not supported"},
      {{"is_property_present:DirtyRegionMode", true}, {}, "tracking is not supported"},
      {{"increment_mta_usage"}, {}, "Failed to initialize WinRT"},
      {{"initialize_runtime"}, {}, "Failed to initialize WinRT"},
      {{"create_dispatcher_queue_controller"}, {}, "Failed to create dispatcher queue controller"},
      {{"create_dispatcher_queue_controller", true}, {}, "Failed to create dispatcher queue"},
      {{"create_device"}, {}, "DirectX error: Windows API Error: Unspecified error"},
      {{}, old_device, "DirectX error: Failed to create DirectX device with the recommended"},
      {{"create_device:context", true}, {}, "did not return an `ID3D11DeviceContext`"},
      {{}, throwing_factory, "Failed to join thread"},
      {{"client_rect"}, {}, "Graphics capture error: Window error: A Windows API call failed"},
      {{"device.create_capture_device"}, {}, "Graphics capture error: DirectX error: Windows API"},
      {{"create_frame_pool"}, {}, service},
      {{"pool.create_capture_session"}, {}, service},
      {{"item.add_closed"}, {}, service},
      {{"pool.add_frame_arrived"}, {}, service},
      {{"session.set_cursor_capture_enabled"}, {}, service},
      {{"session.start_capture"}, {}, service},
      // Windows 10 before 2004 has no cursor property and before 21H2 no
      // border property: the capture goes on without that setting.
      {{"is_property_present:IsCursorCaptureEnabled", true}, {}, {}, true},
      {{"is_property_present:IsBorderRequired", true}, {}, {}, true},
      {{}, close_fails, {}, true, 0, 0, ended + "Frame handler error: flushed"},
      {{}, stop_first, {}, false, 1, 1},
      {{}, throw_first, {}, false, 1, 1, "Failed to join thread"},
      {{next_frame, false, 0, platform::kDisconnected}, {}, {}, {}, 1, 0, gone + "80010108)"},
      {{next_frame, false, 0, platform::kServerUnavailable}, {}, {}, {}, 1, 0, gone + "800706BA)"},
      {{next_frame, false, 0, platform::kCantExecute}, {}, {}, {}, 1, 0, gone + "89020001)"},
      {{"get_message", false, 1}, {}, {}, {}, 1, 1, pump},
      // The shutdown's own pump: the first three messages are the two frames
      // and the quit.
      {{"get_message", false, 3}, stop_first, {}, {}, 1, 1, pump},
      {{"shutdown_queue_async"}, stop_first, {}, {}, 1, 1, shutdown},
      {{"shutdown_queue_async", true}, stop_first, {}, {}, 1, 1, shutdown},
      {{"action.set_completed"}, stop_first, {}, {}, 1, 1, completion},
  };
  // Each undo call must match its doing call, less the one that failed.
  const std::pair<std::string, const char*> pairs[] = {
      {"increment_mta_usage", "decrement_mta_usage"},
      {"initialize_runtime", "uninitialize_runtime"},
      {"create_frame_pool", "pool.close"},
      {"item.add_closed", "item.remove_closed"},
      {"pool.add_frame_arrived", "pool.remove_frame_arrived"},
  };
  for (const auto& c : cases) {
    const std::string call = c.broken.call ? c.broken.call : "";
    SCOPED_TRACE("case " + std::to_string(&c - cases) + " " + call);
    Rig rig;
    c.broken.apply(rig.fake);
    if (!c.start) rig.fake.hold("get_message");
    auto started = rig.start([&](CaptureSettings& s) {
      other_options(s);
      if (c.script) c.script(rig, s);
    });
    std::string error;
    if (c.start) {
      ASSERT_FALSE(started.ok());
      error = display(started.error());
      EXPECT_NE(error.find(c.start), std::string::npos) << error;
    } else {
      ASSERT_TRUE(started.ok()) << display(started.error());
      ASSERT_TRUE(rig.fake.wait_until([&] { return rig.fake.waiting_at("get_message"); }));
      if (c.close) {
        ASSERT_TRUE(rig.fake.close_window(kWindow));
        rig.fake.resize_window(kWindow, {64, 48});  // its last frame comes after Closed
      }
      ASSERT_TRUE(rig.fake.push_frame(kWindow) && rig.fake.push_frame(kWindow));
      rig.fake.open("get_message");
      ASSERT_TRUE(rig.wait_ended());
      EXPECT_EQ(rig.fake.count("pool.try_get_next_frame"), c.tries);
      EXPECT_EQ(rig.probe->frame_count(), std::size_t(c.seen));
      EXPECT_EQ(rig.fake.count("pool.frame_arrived_failed"), 0);
      auto stopped = started->stop();
      error = stopped.ok() ? "" : display(stopped.error());
      EXPECT_EQ(error, c.stop);
    }
    EXPECT_TRUE(rig.released());
    EXPECT_TRUE(rig.ended());
    for (const auto& [done, undone] : pairs)
      EXPECT_EQ(rig.fake.count(undone), rig.fake.count(done) - (call == done ? 1 : 0)) << undone;
    // A thread that throws unwinds past the queue's shutdown.
    const bool queued = rig.fake.capture_thread() != 0 && error != "Failed to join thread";
    EXPECT_EQ(rig.fake.count("shutdown_queue_async"), queued ? 1 : 0);
  }
}

// A frame that cannot be taken is reported to the service and the next one
// comes; the first frame after a resize is dropped to recreate the pool at
// the new size. Frames are read through one staging texture per size, at
// its row pitch, and carry the window's title bar height: its frame height
// less its client height scaled to its dpi (667 at 144 dpi is 1000, the
// half cut off).
TEST(FrameAccess, FramesGoOnAfterAFailedFrameAndAcrossAResize) {
  Rig rig;
  rig.fake.add_window(kWindow, {{64, 48}, {0, 0, 64, 1001}, {0, 0, 64, 667}, 144});
  rig.fake.fail("frame.texture", {}, 0, 1);
  rig.fake.set_staging_rows(256);
  CaptureControl control = rig.start_ok();
  ASSERT_TRUE(rig.fake.push_frame(kWindow));
  ASSERT_TRUE(rig.fake.wait_until([&] { return rig.fake.count("pool.frame_arrived_failed"); }));
  ASSERT_TRUE(rig.fake.push_frame(kWindow));
  ASSERT_TRUE(rig.wait_frames(1));
  EXPECT_EQ(rig.frame(0).height, 48u);
  EXPECT_EQ(rig.frame(0).title_bar_height, 1u);

  rig.fake.resize_window(kWindow, {100, 50});
  ASSERT_TRUE(rig.fake.push_frame(kWindow));
  ASSERT_TRUE(rig.fake.wait_until([&] { return rig.fake.count("pool.recreated:100x50"); }));
  ASSERT_TRUE(rig.fake.push_frame(kWindow) && rig.fake.push_frame(kWindow));
  ASSERT_TRUE(rig.wait_frames(3));
  EXPECT_TRUE(control.stop().ok());
  // The third frame maps the staging texture the second one mapped.
  EXPECT_EQ(rig.frame(2).read_back_error, "") << "a mapping outlived its MappedFrame";
  const FrameSeen resized = rig.frame(1);
  EXPECT_EQ(resized.width, 100u);
  EXPECT_EQ(resized.row_pitch, 512u);
  EXPECT_EQ(resized.rows.size(), 100u * 50u * 4u);
  EXPECT_EQ(rig.fake.count("device.create_texture_2d"), 2);
}

// A stop that comes before the thread has a queue retries its quit until
// it lands.
TEST(CaptureThread, AStopBeforeTheThreadHasAQueueIsRetriedUntilItLands) {
  Rig rig;
  rig.fake.hold("get_message");
  CaptureControl control = rig.start_ok();
  auto stopping = std::async(std::launch::async, [&] { return control.stop(); });
  ASSERT_TRUE(rig.fake.wait_until([&] { return rig.fake.count("post_thread_message:no queue"); }));
  rig.fake.open("get_message");
  auto stopped = stopping.get();
  EXPECT_TRUE(stopped.ok()) << display(stopped.error());
}

TEST(CaptureThread, APostThatCannotBeRetriedLeavesTheThreadRunning) {
  Rig rig;
  rig.fake.fail("post_thread_message", {platform::kFail, "refused"}, 0, 1);
  CaptureControl control = rig.start_ok();
  auto stopped = control.stop();
  ASSERT_FALSE(stopped.ok());
  EXPECT_EQ(display(stopped.error()), "Failed to post thread message");
  EXPECT_EQ(rig.fake.count("decrement_mta_usage"), 0);
  // The halt flag is set, so the window's closing posts no quit; a later
  // one still ends the thread.
  ASSERT_TRUE(rig.fake.close_window(kWindow));
  ASSERT_TRUE(rig.probe->wait_until([](const HandlerProbe& p) { return p.closed == 1; }));
  ASSERT_TRUE(rig.fake.post_thread_message(rig.fake.capture_thread(), platform::kWmQuit, 0, 0));
  ASSERT_TRUE(rig.wait_ended());
}

TEST(CaptureThread, ADroppedControlLeavesTheCaptureRunningUntilTheWindowCloses) {
  Rig rig;
  { CaptureControl control = rig.start_ok(); }
  ASSERT_TRUE(rig.fake.push_frame(kWindow));
  ASSERT_TRUE(rig.wait_frames(1));
  ASSERT_TRUE(rig.fake.close_window(kWindow));
  ASSERT_TRUE(rig.wait_ended());
  EXPECT_TRUE(rig.probe->wait_until([](const HandlerProbe& p) { return p.destroyed; }));
}

}  // namespace
}  // namespace tarvix::capture::testing
