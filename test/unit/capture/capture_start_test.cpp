// Starting a capture: the session build's checks, option values and
// failures, and what a failed start leaves behind.
#include <gtest/gtest.h>

#include <stdexcept>

#include "capture/capture_fixture.h"

namespace tarvix::capture::testing {
namespace {

using Kind = CaptureError::Kind;
using ServiceKind = CaptureServiceError::Kind;

class CaptureStartTest : public CaptureTest {
 protected:
  // A failed start must leave nothing running and nothing held.
  void expect_nothing_left() {
    EXPECT_TRUE(capture_thread_ended());
    EXPECT_EQ(flags.use_count(), 1) << "the capture thread still holds the handler's flags";
    std::lock_guard lock(probe->mutex);
    if (probe->created) {
      EXPECT_TRUE(probe->destroyed);
      EXPECT_NE(probe->destroyed_on, std::this_thread::get_id());
    }
  }

  void expect_service_error(ServiceKind kind) {
    auto started = start(settings());
    ASSERT_FALSE(started.ok());
    ASSERT_EQ(started.error().kind, Kind::ServiceFailed);
    EXPECT_EQ(started.error().service.kind, kind);
    expect_nothing_left();
  }
};

TEST_F(CaptureStartTest, WithoutTheServiceEvenDefaultSettingsAreUnsupported) {
  fake.set_contract_present(false);
  CaptureSettings defaults;
  defaults.window = kWindow;
  defaults.handler_factory = recording_factory(probe, flags);
  auto started = start(std::move(defaults));
  ASSERT_FALSE(started.ok());
  EXPECT_EQ(display(started.error()),
            "Graphics capture error: The Graphics Capture API is not supported on this platform.");
  EXPECT_EQ(fake.count("create_frame_pool"), 0);
  expect_nothing_left();
}

TEST_F(CaptureStartTest, ServiceThatReportsItselfUnsupportedFailsToo) {
  fake.set_capture_supported(false);
  expect_service_error(ServiceKind::Unsupported);
}

TEST_F(CaptureStartTest, CursorOffNeedsThePropertyWhileDefaultDoesNot) {
  fake.remove_property("IsCursorCaptureEnabled");
  expect_service_error(ServiceKind::CursorUnsupported);
  EXPECT_EQ(fake.count("create_frame_pool"), 0) << "checks must come before anything is made";

  auto s = settings();
  s.cursor = CursorSetting::Default;
  auto started = start(std::move(s));
  ASSERT_TRUE(started.ok()) << display(started.error());
  EXPECT_EQ(fake.count("session.set_cursor_capture_enabled"), 0);
  EXPECT_TRUE(started->stop().ok());
}

TEST_F(CaptureStartTest, EachMissingPropertyHasItsOwnError) {
  const struct {
    const char* property;
    ServiceKind kind;
  } cases[] = {
      {"IsBorderRequired", ServiceKind::BorderUnsupported},
      {"IncludeSecondaryWindows", ServiceKind::SecondaryWindowsUnsupported},
      {"MinUpdateInterval", ServiceKind::MinUpdateIntervalUnsupported},
      {"DirtyRegionMode", ServiceKind::DirtyRegionUnsupported},
  };
  for (const auto& c : cases) {
    fakes::FakePlatform platform;
    platform.add_window(kWindow);
    platform.remove_property(c.property);
    auto s = settings();
    s.secondary_windows = SecondaryWindowsSetting::Off;
    s.min_update_interval = MinUpdateIntervalSetting::Custom({1, 0});
    s.dirty_region = DirtyRegionSetting::ReportOnly;
    auto started = start_capture_thread(std::move(s), platform);
    ASSERT_FALSE(started.ok()) << c.property;
    EXPECT_EQ(started.error().service.kind, c.kind) << c.property;
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

TEST_F(CaptureStartTest, ShortIntervalIsTruncatedToWholeTicks) {
  auto s = settings();
  s.min_update_interval = MinUpdateIntervalSetting::Custom({0, 250});
  s.dirty_region = DirtyRegionSetting::ReportOnly;
  auto started = start(std::move(s));
  ASSERT_TRUE(started.ok()) << display(started.error());
  EXPECT_EQ(fake.count("session.set_min_update_interval:2"), 1);
  EXPECT_EQ(fake.count("session.set_dirty_region_mode:0"), 1);
  EXPECT_TRUE(started->stop().ok());
}

TEST_F(CaptureStartTest, DeviceBelowFeatureLevel11IsRefused) {
  fake.set_feature_level(platform::FeatureLevel::Level10_1);
  auto started = start(settings());
  ASSERT_FALSE(started.ok());
  EXPECT_EQ(display(started.error()),
            "DirectX error: Failed to create DirectX device with the recommended feature levels");
  EXPECT_FALSE(probe->created);
  expect_nothing_left();
}

TEST_F(CaptureStartTest, DeviceThatComesBackEmptyIsNamed) {
  fake.return_null("create_device:context");
  auto started = start(settings());
  ASSERT_FALSE(started.ok());
  EXPECT_EQ(display(started.error()),
            "DirectX error: Windows API succeeded but did not return an `ID3D11DeviceContext`");
}

TEST_F(CaptureStartTest, UnmeasurableTitleBarFailsTheStart) {
  fake.fail("client_rect", {platform::hresult_from_win32(1400), "Invalid window handle."});
  expect_service_error(ServiceKind::WindowFailed);
}

TEST_F(CaptureStartTest, HandleNamingNoWindowFailsItemConversion) {
  auto s = settings();
  s.window = 0xDEAD;
  auto started = start(std::move(s));
  ASSERT_FALSE(started.ok());
  EXPECT_EQ(display(started.error()), "Failed to convert item to `GraphicsCaptureItem`");
  expect_nothing_left();
}

// A build that fails half way undoes the registrations it made.
TEST_F(CaptureStartTest, FailedBuildStepsReleaseWhatWasMade) {
  const char* steps[] = {"device.create_capture_device", "create_frame_pool",
                         "pool.create_capture_session",  "item.add_closed",
                         "pool.add_frame_arrived",       "session.set_border_required",
                         "session.start_capture"};
  for (const char* step : steps) {
    fakes::FakePlatform platform;
    platform.add_window(kWindow);
    platform.fail(step);
    auto local_flags = std::make_shared<int>(0);
    auto s = settings();
    s.handler_factory = recording_factory(std::make_shared<HandlerProbe>(), local_flags);
    auto started = start_capture_thread(std::move(s), platform);
    ASSERT_FALSE(started.ok()) << step;
    EXPECT_EQ(started.error().kind, Kind::ServiceFailed) << step;
    EXPECT_EQ(local_flags.use_count(), 1) << step;
    const std::string failed = step;
    // Every registration that succeeded is removed again.
    EXPECT_EQ(platform.count("item.remove_closed"),
              platform.count("item.add_closed") - (failed == "item.add_closed" ? 1 : 0))
        << step;
    EXPECT_EQ(
        platform.count("pool.remove_frame_arrived"),
        platform.count("pool.add_frame_arrived") - (failed == "pool.add_frame_arrived" ? 1 : 0))
        << step;
    if (platform.count("create_frame_pool") > 0 && failed != "create_frame_pool") {
      EXPECT_EQ(platform.count("pool.close"), 1) << step;
    }
    EXPECT_EQ(platform.count("get_message"), 0) << step;
  }
}

TEST_F(CaptureStartTest, ThreadSetUpFailuresAreReportedAndUndone) {
  const struct {
    const char* call;
    bool null;
    Kind kind;
  } cases[] = {
      {"increment_mta_usage", false, Kind::WinRtInitFailed},
      {"initialize_runtime", false, Kind::WinRtInitFailed},
      {"create_dispatcher_queue_controller", false, Kind::QueueControllerFailed},
      {"create_dispatcher_queue_controller", true, Kind::QueueControllerFailed},
      {"create_device", false, Kind::DeviceFailed},
  };
  for (const auto& c : cases) {
    fakes::FakePlatform platform;
    platform.add_window(kWindow);
    if (c.null) {
      platform.return_null(c.call);
    } else {
      platform.fail(c.call);
    }
    auto local_flags = std::make_shared<int>(0);
    auto s = settings();
    s.handler_factory = recording_factory(std::make_shared<HandlerProbe>(), local_flags);
    auto started = start_capture_thread(std::move(s), platform);
    ASSERT_FALSE(started.ok()) << c.call;
    EXPECT_EQ(started.error().kind, c.kind) << c.call;
    EXPECT_EQ(local_flags.use_count(), 1) << c.call;
    const bool joined = std::string(c.call) != "increment_mta_usage";
    const bool initialised = joined && std::string(c.call) != "initialize_runtime";
    EXPECT_EQ(platform.count("decrement_mta_usage"), joined ? 1 : 0) << c.call;
    EXPECT_EQ(platform.count("uninitialize_runtime"), initialised ? 1 : 0) << c.call;
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
  expect_nothing_left();
  EXPECT_EQ(fake.count("decrement_mta_usage"), 1) << "clean-up still runs while unwinding";
}

}  // namespace
}  // namespace tarvix::capture::testing
