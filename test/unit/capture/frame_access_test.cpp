// The frame procedure, read-back and title-bar height.
#include <gtest/gtest.h>

#include <future>

#include "capture/capture_fixture.h"
#include "capture/window_geometry.h"

namespace tarvix::capture::testing {
namespace {

using FrameAccessTest = CaptureTest;

TEST_F(FrameAccessTest, ResizeDropsOneFrameAndRecreatesThePool) {
  CaptureControl control = start_ok();
  ASSERT_TRUE(fake.push_frame(kWindow));
  ASSERT_TRUE(wait_frames(1));
  EXPECT_EQ(frame(0).width, 64u);
  EXPECT_EQ(frame(0).height, 48u);

  fake.resize_window(kWindow, {100, 50});
  ASSERT_TRUE(fake.push_frame(kWindow));
  ASSERT_TRUE(fake.wait_until([&] { return fake.count("pool.recreated:100x50") == 1; }));
  ASSERT_TRUE(fake.push_frame(kWindow));
  ASSERT_TRUE(wait_frames(2));
  EXPECT_EQ(frame(1).width, 100u);
  EXPECT_EQ(frame(1).height, 50u);
  EXPECT_EQ(frame(1).rows.size(), 100u * 50u * 4u);
  EXPECT_EQ(probe->frame_count(), 2u);
  // One staging texture per size, not per frame.
  ASSERT_TRUE(fake.push_frame(kWindow));
  ASSERT_TRUE(wait_frames(3));
  EXPECT_EQ(fake.count("device.create_texture_2d"), 2);
  EXPECT_TRUE(control.stop().ok());
}

TEST_F(FrameAccessTest, FrameAfterStopIsNotTaken) {
  CaptureControl control = start_ok();
  // The handler is held inside the first frame while a second one arrives
  // and the stop is issued.
  fake.hold("context.copy_resource");
  ASSERT_TRUE(fake.push_frame(kWindow));
  ASSERT_TRUE(fake.wait_until([&] { return fake.waiting_at("context.copy_resource") == 1; }));
  ASSERT_TRUE(fake.push_frame(kWindow));
  auto stopping = std::async(std::launch::async, [&] { return control.stop(); });
  ASSERT_TRUE(fake.wait_until([&] { return fake.count("post_thread_message") >= 1; }));
  EXPECT_TRUE(control.halt_flag()->load());
  fake.open("context.copy_resource");
  EXPECT_TRUE(stopping.get().ok());
  EXPECT_EQ(fake.count("pool.try_get_next_frame"), 1);
  EXPECT_EQ(probe->frame_count(), 1u);
}

TEST_F(FrameAccessTest, MappedFrameKeepsTheStagingRowPitchAndTitleBarHeight) {
  fake.add_window(kWindow, {{3, 2}, {10, 20, 13, 42}, {0, 0, 3, 2}, 96});
  fake.set_staging_rows(64);
  CaptureControl control = start_ok();
  std::vector<std::uint8_t> pixels(3 * 2 * 4);
  for (std::size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<std::uint8_t>(i + 1);
  // The frame's own texture is padded too, differently.
  ASSERT_TRUE(fake.push_frame(kWindow, {pixels, 20}));
  ASSERT_TRUE(wait_frames(1));
  const FrameSeen seen = frame(0);
  EXPECT_EQ(seen.row_pitch, 64u);
  EXPECT_EQ(seen.title_bar_height, 20u);
  EXPECT_EQ(seen.rows, pixels);
  EXPECT_EQ(fake.mapped_textures(), 0) << "the mapping must end with the MappedFrame";
  EXPECT_TRUE(control.stop().ok());
}

TEST_F(FrameAccessTest, ReadBackFailuresLeaveNothingAllocated) {
  const std::pair<Broken, const char*> cases[] = {
      {{"device.create_texture_2d"},
       "DirectX error: Windows API Error: Unspecified error "
       "(0x80004005)"},
      {{"device.create_texture_2d", true},
       "DirectX error: Windows API succeeded but did not return an `ID3D11Texture2D`"},
      {{"context.map"}, "Windows API error: Unspecified error (0x80004005)"},
  };
  for (const auto& [broken, text] : cases) {
    Fresh fresh;
    broken.apply(fresh.platform);
    auto started = start_fresh(fresh);
    ASSERT_TRUE(started.ok()) << broken.call;
    ASSERT_TRUE(fresh.platform.push_frame(kWindow));
    ASSERT_TRUE(fresh.probe->wait_until([](const HandlerProbe& p) { return !p.frames.empty(); }));
    {
      std::lock_guard lock(fresh.probe->mutex);
      EXPECT_EQ(fresh.probe->frames[0].read_back_error, text) << broken.call;
    }
    // Only the frame itself may still hold a texture, and nothing is mapped.
    EXPECT_LE(fresh.platform.live_textures(), 1) << broken.call;
    EXPECT_EQ(fresh.platform.mapped_textures(), 0) << broken.call;
    EXPECT_TRUE(started->stop().ok()) << broken.call;
  }
}

TEST_F(FrameAccessTest, FailureInsideTheProcedureDoesNotEndTheCapture) {
  fake.fail("frame.texture", {}, 0, 1);
  CaptureControl control = start_ok();
  ASSERT_TRUE(fake.push_frame(kWindow));
  ASSERT_TRUE(fake.wait_until([&] { return fake.count("pool.frame_arrived_failed") == 1; }));
  ASSERT_TRUE(fake.push_frame(kWindow));
  ASSERT_TRUE(wait_frames(1));
  EXPECT_TRUE(control.stop().ok());
}

TEST(TitleBarHeight, IsFrameHeightLessScaledClientHeightOrAWindowError) {
  fakes::FakePlatform fake;
  const struct {
    platform::Rect frame;
    platform::Rect client;
    std::uint32_t dpi;
    std::uint32_t expected;
  } cases[] = {
      {{0, 0, 800, 1040}, {0, 0, 800, 1000}, 96, 40}, {{0, 0, 800, 1000}, {0, 0, 800, 1000}, 96, 0},
      {{0, 0, 800, 1000}, {0, 0, 800, 1000}, 144, 0},  // client scales past the frame
      {{0, 0, 1200, 1000}, {0, 0, 800, 667}, 144, 0},  // 667 at 144 dpi is 1000 (1000.5 cut)
      {{0, 0, 1200, 1001}, {0, 0, 800, 667}, 144, 1},
  };
  for (const auto& c : cases) {
    fake.add_window(7, {{1, 1}, c.frame, c.client, c.dpi});
    auto height = title_bar_height(fake, 7);
    ASSERT_TRUE(height.ok());
    EXPECT_EQ(height.value(), c.expected)
        << c.frame.bottom << " " << c.client.bottom << " " << c.dpi;
  }
  auto missing = title_bar_height(fake, 99);
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(display(missing.error()),
            "A Windows API call failed: Invalid window handle. (0x80070578)");
}

}  // namespace
}  // namespace tarvix::capture::testing
