// Starting a capture: the session build's checks, option values and
// failures, and what a failed start leaves behind.
#include <gtest/gtest.h>

#include <stdexcept>

#include "capture/capture_fixture.h"

namespace tarvix::capture::testing {
namespace {

using Kind = CaptureError::Kind;
using ServiceKind = CaptureServiceError::Kind;

using CaptureStartTest = CaptureTest;

// Every check runs before anything is made, and each missing piece has its
// own error; without the service even the default settings are unsupported.
TEST_F(CaptureStartTest, EachMissingServicePieceHasItsOwnError) {
  const struct {
    const char* missing;
    ServiceKind kind;
  } cases[] = {
      {"is_api_contract_present", ServiceKind::Unsupported},
      {"is_capture_supported", ServiceKind::Unsupported},
      {"is_property_present:IncludeSecondaryWindows", ServiceKind::SecondaryWindowsUnsupported},
      {"is_property_present:MinUpdateInterval", ServiceKind::MinUpdateIntervalUnsupported},
      {"is_property_present:DirtyRegionMode", ServiceKind::DirtyRegionUnsupported},
  };
  for (const auto& c : cases) {
    Fresh fresh;
    fresh.platform.return_null(c.missing);
    const bool defaults = std::string(c.missing) == "is_api_contract_present";
    auto started = start_fresh(fresh, [&](CaptureSettings& s) {
      if (defaults) {
        s.cursor = CursorSetting::Default;
        s.border = BorderSetting::Default;
        return;
      }
      s.secondary_windows = SecondaryWindowsSetting::Off;
      s.min_update_interval = MinUpdateIntervalSetting::Custom({1, 0});
      s.dirty_region = DirtyRegionSetting::ReportOnly;
    });
    ASSERT_FALSE(started.ok()) << c.missing;
    ASSERT_EQ(started.error().kind, Kind::ServiceFailed) << c.missing;
    EXPECT_EQ(started.error().service.kind, c.kind) << c.missing;
    if (defaults) {
      EXPECT_EQ(display(started.error()),
                "Graphics capture error: The Graphics Capture API is not "
                "supported on this platform.");
    }
    EXPECT_EQ(fresh.platform.count("create_frame_pool"), 0) << c.missing;
    EXPECT_TRUE(capture_thread_ended(fresh.platform)) << c.missing;
    EXPECT_EQ(fresh.flags.use_count(), 1) << c.missing;
  }
}

// Windows 10 before 2004 has no cursor property and before 21H2 no border
// property: the start goes on without the setting. A property that is there
// but refuses the value still fails the start.
TEST_F(CaptureStartTest, AbsentCursorOrBorderPropertyIsSkippedButARefusalFails) {
  const struct {
    const char* property;
    const char* setter;
  } cases[] = {
      {"IsCursorCaptureEnabled", "session.set_cursor_capture_enabled"},
      {"IsBorderRequired", "session.set_border_required"},
  };
  for (const auto& c : cases) {
    Fresh absent;
    absent.platform.return_null(std::string("is_property_present:") + c.property);
    auto started = start_fresh(absent);
    ASSERT_TRUE(started.ok()) << c.property << ": " << display(started.error());
    EXPECT_EQ(absent.platform.count(c.setter), 0) << c.property;
    EXPECT_TRUE(started->stop().ok()) << c.property;

    Fresh refusing;
    refusing.platform.fail(c.setter, {platform::kInvalidArg, "refused"});
    auto refused = start_fresh(refusing);
    ASSERT_FALSE(refused.ok()) << c.property;
    EXPECT_EQ(display(refused.error()),
              "Graphics capture error: Windows API error: refused (0x80070057)");
  }
}

TEST_F(CaptureStartTest, OptionsAreSetInOrderWithTheirValues) {
  auto s = settings();
  s.cursor = CursorSetting::On;
  s.border = BorderSetting::Off;
  s.secondary_windows = SecondaryWindowsSetting::On;
  s.min_update_interval = MinUpdateIntervalSetting::Custom({1, 500'000'000});
  s.dirty_region = DirtyRegionSetting::ReportAndRender;
  auto started = start(std::move(s));
  ASSERT_TRUE(started.ok()) << display(started.error());
  EXPECT_TRUE(
      in_order(fake.calls(),
               {"pool.create_capture_session", "session.set_cursor_capture_enabled:true",
                "session.set_border_required:false", "session.set_include_secondary_windows:true",
                "session.set_min_update_interval:15000000", "session.set_dirty_region_mode:1",
                "session.start_capture"}));
  EXPECT_TRUE(started->stop().ok());
}

// A start that fails at any step undoes exactly what it had done, on the
// capture thread, and shuts down the dispatcher queue once it exists.
TEST_F(CaptureStartTest, FailedStepsAreReportedAndUndone) {
  const auto old_device = [](fakes::FakePlatform& p, CaptureSettings&) {
    p.set_feature_level(platform::FeatureLevel::Level10_1);
  };
  const auto no_window = [](fakes::FakePlatform&, CaptureSettings& s) { s.window = 0xDEAD; };
  const struct {
    Broken broken;
    Kind kind;
    const char* text;  // part of the message, or ""
    void (*adjust)(fakes::FakePlatform&, CaptureSettings&) = nullptr;
  } cases[] = {
      {{"set_feature_level:10_1"},
       Kind::DeviceFailed,
       "DirectX error: Failed to create DirectX device with the recommended feature levels",
       old_device},
      {{"window:none"},
       Kind::ItemConversionFailed,
       "Failed to convert item to `GraphicsCaptureItem`",
       no_window},
      {{"increment_mta_usage"}, Kind::WinRtInitFailed, ""},
      {{"initialize_runtime"}, Kind::WinRtInitFailed, ""},
      {{"create_dispatcher_queue_controller"}, Kind::QueueControllerFailed, ""},
      {{"create_dispatcher_queue_controller", true}, Kind::QueueControllerFailed, ""},
      {{"create_device"}, Kind::DeviceFailed, ""},
      {{"create_device:context", true},
       Kind::DeviceFailed,
       "did not return an `ID3D11DeviceContext`"},
      {{"client_rect"}, Kind::ServiceFailed, "Window error: A Windows API call failed"},
      {{"device.create_capture_device"},
       Kind::ServiceFailed,
       "Graphics capture error: DirectX error: Windows API Error: "},
      {{"create_frame_pool"}, Kind::ServiceFailed, ""},
      {{"pool.create_capture_session"}, Kind::ServiceFailed, ""},
      {{"item.add_closed"}, Kind::ServiceFailed, ""},
      {{"pool.add_frame_arrived"}, Kind::ServiceFailed, ""},
      {{"session.start_capture"}, Kind::ServiceFailed, ""},
  };
  // Each undo call must match its doing call, less the one that failed.
  const std::pair<const char*, const char*> pairs[] = {
      {"increment_mta_usage", "decrement_mta_usage"},
      {"initialize_runtime", "uninitialize_runtime"},
      {"create_frame_pool", "pool.close"},
      {"item.add_closed", "item.remove_closed"},
      {"pool.add_frame_arrived", "pool.remove_frame_arrived"},
  };
  for (const auto& c : cases) {
    const std::string call = c.broken.call;
    Fresh fresh;
    if (c.adjust == nullptr) c.broken.apply(fresh.platform);
    auto started = start_fresh(fresh, [&](CaptureSettings& s) {
      if (c.adjust != nullptr) c.adjust(fresh.platform, s);
    });
    ASSERT_FALSE(started.ok()) << call;
    EXPECT_EQ(started.error().kind, c.kind) << call;
    EXPECT_NE(display(started.error()).find(c.text), std::string::npos)
        << call << ": " << display(started.error());
    EXPECT_EQ(fresh.flags.use_count(), 1) << call;
    EXPECT_TRUE(capture_thread_ended(fresh.platform)) << call;
    for (const auto& [done, undone] : pairs) {
      EXPECT_EQ(fresh.platform.count(undone), fresh.platform.count(done) - (call == done ? 1 : 0))
          << call << ": " << undone;
    }
    const bool queued = fresh.platform.count("create_dispatcher_queue_controller") == 1 &&
                        c.kind != Kind::QueueControllerFailed;
    EXPECT_EQ(fresh.platform.count("action.completed"), queued ? 1 : 0) << call;
  }
}

TEST_F(CaptureStartTest, ThreadThatFaultsBeforeTheHandOverIsJoinFailed) {
  auto s = settings();
  s.handler_factory =
      [flags = flags](std::shared_ptr<platform::Device>,
                      std::shared_ptr<platform::DeviceContext>) -> std::unique_ptr<CaptureHandler> {
    throw std::runtime_error("no handler today");
  };
  auto started = start(std::move(s));
  ASSERT_FALSE(started.ok());
  EXPECT_EQ(display(started.error()), "Failed to join thread");
  EXPECT_TRUE(capture_thread_ended());
  EXPECT_EQ(flags.use_count(), 1) << "the capture thread still holds the handler's flags";
  EXPECT_EQ(fake.count("decrement_mta_usage"), 1) << "clean-up still runs while unwinding";
}

}  // namespace
}  // namespace tarvix::capture::testing
