// The frame procedure, read-back and title-bar height.
#include <gtest/gtest.h>

#include "capture/capture_fixture.h"
#include "capture/window_geometry.h"

namespace tarvix::capture::testing {
namespace {

// A frame that cannot be taken is reported to the service and the next one
// comes; the first frame after a resize is dropped to recreate the pool at
// the new size. Frames are read through one staging texture per size, at
// its row pitch, and carry the window's title bar height.
TEST(FrameAccess, FramesGoOnAfterAFailedFrameAndAcrossAResize) {
  Rig rig;
  rig.fake.fail("frame.texture", {}, 0, 1);
  rig.fake.set_staging_rows(256);
  CaptureControl control = rig.start_ok();
  ASSERT_TRUE(rig.fake.push_frame(kWindow));
  ASSERT_TRUE(rig.fake.wait_until([&] { return rig.fake.count("pool.frame_arrived_failed"); }));
  ASSERT_TRUE(rig.fake.push_frame(kWindow));
  ASSERT_TRUE(rig.wait_frames(1));
  EXPECT_EQ(rig.frame(0).height, 48u);
  EXPECT_EQ(rig.frame(0).title_bar_height, 30u);

  rig.fake.resize_window(kWindow, {100, 50});
  ASSERT_TRUE(rig.fake.push_frame(kWindow));
  ASSERT_TRUE(rig.fake.wait_until([&] { return rig.fake.count("pool.recreated:100x50"); }));
  ASSERT_TRUE(rig.fake.push_frame(kWindow) && rig.fake.push_frame(kWindow));
  ASSERT_TRUE(rig.wait_frames(3));
  EXPECT_TRUE(control.stop().ok());
  const FrameSeen resized = rig.frame(1);
  EXPECT_EQ(resized.width, 100u);
  EXPECT_EQ(resized.row_pitch, 512u);
  EXPECT_EQ(resized.rows.size(), 100u * 50u * 4u);
  EXPECT_EQ(rig.fake.count("device.create_texture_2d"), 2);
  EXPECT_EQ(rig.fake.mapped_textures(), 0) << "the mapping must end with the MappedFrame";
}

TEST(TitleBarHeight, IsFrameHeightLessScaledClientHeightOrAWindowError) {
  fakes::FakePlatform fake;
  const struct {
    platform::Rect frame;
    platform::Rect client;
    std::uint32_t dpi;
    std::uint32_t expected;
  } cases[] = {
      {{0, 0, 800, 1040}, {0, 0, 800, 1000}, 96, 40},
      {{0, 0, 800, 1000}, {0, 0, 800, 1000}, 144, 0},  // client scales past the frame
      {{0, 0, 1200, 1001}, {0, 0, 800, 667}, 144, 1},  // 667 at 144 dpi is 1000 (1000.5 cut)
  };
  for (const auto& c : cases) {
    fake.add_window(7, {{1, 1}, c.frame, c.client, c.dpi});
    auto height = title_bar_height(fake, 7);
    ASSERT_TRUE(height.ok());
    EXPECT_EQ(height.value(), c.expected) << c.frame.bottom << " " << c.dpi;
  }
  auto missing = title_bar_height(fake, 99);
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(display(missing.error()),
            "A Windows API call failed: Invalid window handle. (0x80070578)");
}

}  // namespace
}  // namespace tarvix::capture::testing
