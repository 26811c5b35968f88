// The forwarder against the fake backend's textures and the stand-in
// runtime: what reaches the SDK, byte for byte and field by field.
#include "ndi/frame_forwarder.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <limits>
#include <vector>

#include "fakes/fake_graphics.h"
#include "fakes/fake_platform.h"
#include "ndi/runtime.h"
#include "ndi/straight_alpha.h"
#include "standin_reader.h"

namespace tarvix::ndi {
namespace {

using capture::fakes::FakePlatform;
using capture::fakes::FakeTexture;
namespace platform = capture::platform;

platform::TextureDesc texture_desc(uint32_t width, uint32_t height) {
  platform::TextureDesc desc;
  desc.width = width;
  desc.height = height;
  desc.mip_levels = 1;
  desc.array_size = 1;
  desc.format = platform::kPixelFormatBgra8;
  desc.sample_count = 1;
  return desc;
}

struct Source {
  uint32_t width, height, pitch;
  std::vector<uint8_t> bytes;  // pitch * height, padding included
};

// Pixels that vary by position, with padding bytes set to a marker that must
// never reach the SDK.
Source make_source(uint32_t width, uint32_t height, uint32_t pitch, uint8_t seed) {
  Source s{width, height, pitch, std::vector<uint8_t>(std::size_t{pitch} * height, 0xEE)};
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width * 4; ++x) {
      s.bytes[y * pitch + x] = static_cast<uint8_t>(seed + x * 7 + y * 13);
    }
  }
  return s;
}

// What the SDK must receive: a fresh zero-filled frame with each row's
// covered bytes converted.
std::vector<uint8_t> expected_frame(const Source& s, uint32_t staging_pitch) {
  std::vector<uint8_t> out(std::size_t{s.width} * 4 * s.height, 0);
  const std::size_t row = std::min<std::size_t>(s.width * 4, staging_pitch);
  copy_straight_alpha_reference(s.bytes.data(), s.pitch, out.data(), s.width * 4, row, s.height);
  return out;
}

using tarvix::testing::standin_instance;

class FrameForwarderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    runtime_.emplace(NdiRuntime::acquire().value());
    sender_.emplace(NdiSender::create({"forwarder test", std::nullopt, true, false}).value());
    instance_id_ = tarvix_standin_instance_id(sender_->handle());
    forwarder_.emplace(*sender_);
  }
  void TearDown() override {
    forwarder_.reset();
    sender_.reset();
    runtime_.reset();
    EXPECT_EQ(tarvix::testing::standin_library().misuse, misuse_before_);
  }

  capture::HandlerResult forward(const Source& s) {
    auto texture = std::make_shared<FakeTexture>(fake_, texture_desc(s.width, s.height), s.pitch);
    texture->bytes() = s.bytes;
    capture::CaptureFrame frame(device_, context_, std::move(texture), platform::kPixelFormatBgra8,
                                std::nullopt);
    capture::FrameControl control;
    return forwarder_->handle_frame(frame, control);
  }

  std::vector<uint8_t> last_sent() const {
    return tarvix::testing::standin_last_video(instance_id_);
  }

  FakePlatform fake_;
  std::shared_ptr<platform::Device> device_ = std::make_shared<capture::fakes::FakeDevice>(fake_);
  std::shared_ptr<platform::DeviceContext> context_ =
      std::make_shared<capture::fakes::FakeContext>(fake_);
  std::optional<NdiRuntime> runtime_;
  std::optional<NdiSender> sender_;
  std::optional<NdiFrameForwarder> forwarder_;
  uint64_t instance_id_ = 0;
  const uint64_t misuse_before_ = tarvix::testing::standin_library().misuse;
};

TEST_F(FrameForwarderTest, SendsPackedStraightAlphaRowsWithTheFrameDescriptor) {
  fake_.set_staging_rows(64);  // staging rows carry padding too
  const Source s = make_source(5, 3, 32, 0);
  ASSERT_TRUE(forward(s).ok());
  EXPECT_EQ(last_sent(), expected_frame(s, 64));

  const tarvix_standin_video_info v = standin_instance(instance_id_).last_video;
  EXPECT_EQ(v.xres, 5);
  EXPECT_EQ(v.yres, 3);
  EXPECT_EQ(v.fourcc, 0x41524742);
  EXPECT_EQ(v.frame_rate_n, 60);
  EXPECT_EQ(v.frame_rate_d, 1);
  EXPECT_EQ(v.picture_aspect_ratio, 5.0f / 3.0f);
  EXPECT_EQ(v.frame_format_type, 1);
  EXPECT_EQ(v.timecode, std::numeric_limits<int64_t>::max());
  EXPECT_EQ(v.line_stride_in_bytes, 20);
  EXPECT_EQ(v.has_metadata, 0);
  EXPECT_EQ(v.timestamp, 0);
  EXPECT_EQ(fake_.live_textures(), 0) << "staging copy kept after the frame";
}

TEST_F(FrameForwarderTest, ReusedBufferSendsWhatAFreshOneWould) {
  // Same size with shorter rows after a full frame, then smaller, then
  // larger again: stale bytes from an earlier frame must never show.
  struct Step {
    uint32_t width, height;
    bool short_rows;
  };
  const Step steps[] = {{8, 4, false}, {8, 4, true}, {3, 2, false}, {8, 4, true}, {9, 5, false}};
  uint8_t seed = 1;
  for (const Step& step : steps) {
    const Source s = make_source(step.width, step.height, step.width * 4 + 8, seed += 40);
    // Short staging rows leave the last pixel of every packed row unwritten.
    fake_.set_staging_rows(1, step.short_rows);
    ASSERT_TRUE(forward(s).ok());
    const uint32_t staging_pitch = step.short_rows ? step.width * 4 - 4 : step.width * 4;
    EXPECT_EQ(last_sent(), expected_frame(s, staging_pitch))
        << step.width << " x " << step.height << (step.short_rows ? " short rows" : "");
  }
  EXPECT_EQ(standin_instance(instance_id_).video_frames, std::size(steps));
}

TEST_F(FrameForwarderTest, RefusesAnOversizedFrameWithoutSendingIt) {
  ASSERT_TRUE(forward(make_source(2, 2, 8, 0)).ok());
  const auto refused = forward(make_source(5121, 5120, 5121 * 4, 0));
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().text,
            "Invalid frame data: Video frame exceeds maximum size: 104878080 bytes > "
            "104857600 bytes");
  EXPECT_EQ(standin_instance(instance_id_).video_frames, 1u);
  EXPECT_EQ(fake_.live_textures(), 0);
}

TEST_F(FrameForwarderTest, PassesReadBackFailuresOnAndClosesQuietly) {
  fake_.fail("context.map", {platform::kInvalidArg, "no mapping"});
  const auto failed = forward(make_source(2, 2, 8, 0));
  ASSERT_FALSE(failed.ok());
  EXPECT_EQ(failed.error().text.rfind("Windows API error: ", 0), 0u) << failed.error().text;
  EXPECT_TRUE(forwarder_->handle_closed().ok());
  EXPECT_EQ(standin_instance(instance_id_).video_frames, 0u);
}

}  // namespace
}  // namespace tarvix::ndi
