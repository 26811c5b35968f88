// The stand-in runtime itself: the module's tests are only as good as what
// it records.
#include <algorithm>
#include <tuple>

#include "standin_fixture.h"

namespace tarvix::ndi::testing {
namespace {

using tarvix::testing::standin_last_video;

class StandinRuntimeTest : public StandinTest {
 protected:
  void SetUp() override {
    StandinTest::SetUp();
    ASSERT_TRUE(NDIlib_initialize());
  }
  void TearDown() override {
    NDIlib_destroy();
    StandinTest::TearDown();
  }

  static NDIlib_send_instance_t create() {
    const NDIlib_send_create_t settings{"Stand-in", nullptr, true, false};
    return NDIlib_send_create(&settings);
  }

  // Sends the pixels as BGRA rows of `width`, then overwrites them, as the
  // caller may once the call has returned.
  static void send_video(NDIlib_send_instance_t handle, std::vector<uint8_t> pixels, int width) {
    NDIlib_video_frame_v2_t frame{};
    frame.xres = width;
    frame.yres = static_cast<int>(pixels.size()) / 4 / width;
    frame.p_data = pixels.data();
    frame.line_stride_in_bytes = width * 4;
    NDIlib_send_send_video_v2(handle, &frame);
    std::fill(pixels.begin(), pixels.end(), uint8_t{0});
  }
};

// The memory of earlier frames is reused, yet each frame reads back whole, at
// its own size. Injected failures run out; a destroyed sender's record stays,
// without its media and with whether it was flushed; misuse is counted; the
// call log and the destroyed records keep only the newest.
TEST_F(StandinRuntimeTest, RecordsWhatTheTestsRead) {
  tarvix_standin_fail_next_send_create(2);
  EXPECT_EQ(create(), nullptr);
  EXPECT_EQ(create(), nullptr);
  NDIlib_send_instance_t gone = create();
  ASSERT_EQ(tarvix_standin_instance_id(gone), 1u);
  const std::pair<int, int> sizes[] = {{4, 2}, {4, 2}, {4, 2}, {1, 1}, {4, 2}, {6, 3}};
  uint8_t value = 0;
  for (const auto& [width, height] : sizes) {
    const std::vector<uint8_t> pixels(static_cast<std::size_t>(width * height * 4), ++value);
    send_video(gone, pixels, width);
    EXPECT_EQ(standin_last_video(1), pixels) << width << " x " << height;
  }
  NDIlib_send_destroy(gone);
  const auto info = standin_instance(1);
  EXPECT_EQ(std::tuple(info.destroyed, info.flushed_before_destroy, info.last_video.xres),
            std::tuple(1, 0, 6));
  EXPECT_EQ(standin_last_video(1).size(), 0u);
  NDIlib_send_send_video_async_v2(gone, nullptr);
  EXPECT_EQ(standin_library().misuse, 1u);
  tarvix_standin_reset();

  NDIlib_send_instance_t busy = create();
  for (int i = 0; i < 5000; ++i)
    NDIlib_send_send_video_async_v2(busy, nullptr);
  NDIlib_send_destroy(busy);
  EXPECT_EQ(standin_library().calls_logged, 5002u);
  const std::vector<Call> log = calls();
  EXPECT_EQ(log.size(), 4096u);
  EXPECT_EQ(log.back(), (Call{TARVIX_CALL_SEND_DESTROY, 1}));
  for (int i = 0; i < 300; ++i)
    NDIlib_send_destroy(create());
  tarvix_standin_instance_info ignored{};
  EXPECT_EQ(tarvix_standin_instance(45, &ignored), 0) << "more than 256 destroyed records kept";
  EXPECT_EQ(tarvix_standin_instance(46, &ignored), 1) << "fewer than 256 destroyed records kept";
}

}  // namespace
}  // namespace tarvix::ndi::testing
