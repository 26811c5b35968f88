// What the capture settings turn into: the session's options and their
// values.
#include "capture/capture_settings.h"

#include <gtest/gtest.h>

#include <limits>

#include "capture/capture_fixture.h"

namespace tarvix::capture::testing {
namespace {

TEST(CaptureSettings, IntervalBecomes100NanosecondTicksTruncatedAndClamped) {
  constexpr auto max_seconds = std::numeric_limits<std::uint64_t>::max();
  const std::pair<Duration, platform::TimeSpanTicks> cases[] = {
      {{0, 250}, 2},
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

}  // namespace
}  // namespace tarvix::capture::testing
