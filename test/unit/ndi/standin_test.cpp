// The stand-in runtime itself: the module's tests are only as good as what
// it records.
#include <algorithm>
#include <thread>

#include "standin_fixture.h"

namespace tarvix::ndi::testing {
namespace {

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

  static NDIlib_send_instance_t create(const char* name) {
    NDIlib_send_create_t settings{name, nullptr, true, false};
    return NDIlib_send_create(&settings);
  }

  static NDIlib_video_frame_v2_t video(std::vector<uint8_t>& pixels, int width, int height) {
    NDIlib_video_frame_v2_t frame{};
    frame.xres = width;
    frame.yres = height;
    frame.FourCC = NDIlib_FourCC_video_type_BGRA;
    frame.p_data = pixels.data();
    frame.line_stride_in_bytes = width * 4;
    return frame;
  }

  static NDIlib_audio_frame_v3_t audio(std::vector<float>& samples, int channels) {
    NDIlib_audio_frame_v3_t frame{};
    frame.sample_rate = 48000;
    frame.no_channels = channels;
    frame.no_samples = static_cast<int>(samples.size()) / channels;
    frame.FourCC = NDIlib_FourCC_audio_type_FLTP;
    frame.p_data = reinterpret_cast<uint8_t*>(samples.data());
    frame.channel_stride_in_bytes = frame.no_samples * 4;
    return frame;
  }
};

TEST_F(StandinRuntimeTest, VideoAndAudioFromTwoThreadsAreAllKeptWhole) {
  NDIlib_send_instance_t handles[] = {create("A"), create("B")};
  constexpr int kFrames = 120;
  constexpr int kBlocks = 300;
  auto send_video = [](NDIlib_send_instance_t handle) {
    std::vector<uint8_t> pixels(32 * 16 * 4);
    for (int k = 0; k < kFrames; ++k) {
      std::fill(pixels.begin(), pixels.end(), static_cast<uint8_t>(k));
      const auto frame = video(pixels, 32, 16);
      NDIlib_send_send_video_v2(handle, &frame);
    }
  };
  auto send_audio = [](NDIlib_send_instance_t handle) {
    std::vector<float> samples(2 * 64);
    for (int j = 0; j < kBlocks; ++j) {
      std::fill(samples.begin(), samples.begin() + 64, static_cast<float>(2 * j));
      std::fill(samples.begin() + 64, samples.end(), static_cast<float>(2 * j + 1));
      const auto frame = audio(samples, 2);
      NDIlib_send_send_audio_v3(handle, &frame);
    }
  };
  std::vector<std::thread> threads;
  for (auto* handle : handles) {
    threads.emplace_back(send_video, handle);
    threads.emplace_back(send_audio, handle);
  }
  for (auto& thread : threads)
    thread.join();

  for (auto* handle : handles) {
    const uint64_t id = tarvix_standin_instance_id(handle);
    const auto info = instance(id);
    EXPECT_EQ(info.video_frames, uint64_t{kFrames});
    EXPECT_EQ(info.audio_blocks, uint64_t{kBlocks});
    EXPECT_EQ(info.samples_per_channel, uint64_t{kBlocks} * 64);
    std::vector<uint8_t> last(info.last_video.data_size);
    tarvix_standin_last_video_data(id, last.data(), last.size());
    EXPECT_TRUE(std::all_of(last.begin(), last.end(), [](uint8_t b) { return b == kFrames - 1; }));
    for (uint64_t j = 0; j < kBlocks; ++j) {
      tarvix_standin_audio_info block{};
      ASSERT_EQ(tarvix_standin_audio_block(id, j, &block), 1);
      EXPECT_EQ(block.first_samples[0], static_cast<float>(2 * j));
      EXPECT_EQ(block.first_samples[1], static_cast<float>(2 * j + 1));
    }
    NDIlib_send_destroy(handle);
  }
}

TEST_F(StandinRuntimeTest, KeepsCopiesOfTheLatestFrameThroughSizeChanges) {
  // The stand-in recycles the memory of earlier frames: each frame must
  // still read back whole, at its own size, after the caller reused its
  // memory, whatever came before.
  NDIlib_send_instance_t handle = create("Recycled");
  const uint64_t id = tarvix_standin_instance_id(handle);
  const std::pair<int, int> sizes[] = {{4, 2}, {4, 2}, {4, 2}, {1, 1}, {4, 2}, {6, 3}};
  uint8_t value = 0;
  for (const auto& [width, height] : sizes) {
    std::vector<uint8_t> pixels(static_cast<std::size_t>(width * height * 4), ++value);
    const auto frame = video(pixels, width, height);
    NDIlib_send_send_video_v2(handle, &frame);
    const std::vector<uint8_t> sent = pixels;
    std::fill(pixels.begin(), pixels.end(), uint8_t{0});
    std::vector<uint8_t> kept(tarvix_standin_last_video_data(id, nullptr, 0));
    tarvix_standin_last_video_data(id, kept.data(), kept.size());
    EXPECT_EQ(kept, sent) << width << " x " << height;
  }
  std::vector<float> samples{1, 2, 3, 4, 5, 6};
  const auto block = audio(samples, 3);
  NDIlib_send_send_audio_v3(handle, &block);
  std::fill(samples.begin(), samples.end(), 0.0f);
  std::vector<float> kept_samples(6);
  ASSERT_EQ(tarvix_standin_last_audio_samples(id, kept_samples.data(), 6), 6u);
  EXPECT_EQ(kept_samples, (std::vector<float>{1, 2, 3, 4, 5, 6}));
  NDIlib_send_destroy(handle);
}

// Benchmarks switch the copy off; a reset must switch it on again.
TEST_F(StandinRuntimeTest, FrameBytesCanBeLeftOutUntilAReset) {
  std::vector<uint8_t> pixels(3 * 2 * 4, 9);
  const auto frame = video(pixels, 3, 2);
  for (const bool reset : {false, true}) {
    tarvix_standin_keep_video_bytes(0);
    if (reset) {
      tarvix_standin_reset();
      ASSERT_TRUE(NDIlib_initialize());
    }
    NDIlib_send_instance_t handle = create("Bytes");
    const uint64_t id = tarvix_standin_instance_id(handle);
    NDIlib_send_send_video_v2(handle, &frame);
    EXPECT_EQ(tarvix_standin_last_video_data(id, nullptr, 0), reset ? pixels.size() : 0u);
    EXPECT_EQ(instance(id).video_frames, 1u);
    EXPECT_EQ(instance(id).last_video.xres, 3);
    NDIlib_send_destroy(handle);
  }
}

// Injected failures run out, records outlive destroy, misuse is counted and
// the call log keeps its newest entries.
TEST_F(StandinRuntimeTest, Bookkeeping) {
  tarvix_standin_fail_next_send_create(2);
  EXPECT_EQ(create("x"), nullptr);
  EXPECT_EQ(create("x"), nullptr);
  NDIlib_send_instance_t gone = create("Gone");
  ASSERT_NE(gone, nullptr);
  EXPECT_EQ(tarvix_standin_instance_id(gone), 1u);
  std::vector<uint8_t> pixels(4 * 4, 1);
  const auto frame = video(pixels, 2, 2);
  NDIlib_send_send_video_v2(gone, &frame);
  NDIlib_send_destroy(gone);
  EXPECT_TRUE(instance(1).destroyed);
  // The record stays, the media of a destroyed sender does not.
  EXPECT_EQ(instance(1).last_video.xres, 2);
  EXPECT_EQ(tarvix_standin_last_video_data(1, nullptr, 0), 0u);
  EXPECT_FALSE(instance(1).flushed_before_destroy);
  NDIlib_send_send_video_async_v2(gone, nullptr);  // after destroy
  EXPECT_EQ(library().misuse, 1u);
  EXPECT_EQ(instance(1).flushes, 0u);
  tarvix_standin_reset();

  ASSERT_TRUE(NDIlib_initialize());
  NDIlib_send_instance_t busy = create("Busy");
  for (int i = 0; i < 5000; ++i)
    NDIlib_send_send_video_async_v2(busy, nullptr);
  EXPECT_EQ(tarvix_standin_calls_kept(), 4096u);
  EXPECT_EQ(library().calls_logged, 5002u);  // initialise, create, flushes
  tarvix_standin_call_record last{};
  ASSERT_EQ(tarvix_standin_call_at(4095, &last), 1);
  EXPECT_EQ(last.call, TARVIX_CALL_FLUSH);
  NDIlib_send_destroy(busy);
  // Start and stop churn keeps only the newest destroyed records (256).
  for (int i = 0; i < 300; ++i)
    NDIlib_send_destroy(create("Churn"));
  tarvix_standin_instance_info info{};
  EXPECT_EQ(tarvix_standin_instance(1, &info), 0) << "the oldest record is kept";
  EXPECT_EQ(tarvix_standin_instance(301, &info), 1);
}

}  // namespace
}  // namespace tarvix::ndi::testing
