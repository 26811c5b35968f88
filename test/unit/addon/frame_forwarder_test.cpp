// The forwarder against the fake backend's textures and the stand-in
// runtime: what reaches the SDK, byte for byte and field by field.
#include "ndi/frame_forwarder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <tuple>
#include <vector>

#include "fakes/fake_graphics.h"
#include "fakes/fake_platform.h"
#include "ndi/runtime.h"
#include "ndi/straight_alpha.h"
#include "standin_reader.h"

namespace tarvix::ndi {
namespace {

namespace platform = capture::platform;
using tarvix::testing::standin_instance;

struct Source {
  uint32_t width, height, pitch;
  std::vector<uint8_t> bytes;  // pitch * height, padding included
};

// Pixels that vary by position, with padding bytes set to a marker that must
// never reach the SDK.
Source make_source(uint32_t width, uint32_t height, uint32_t pitch, uint8_t seed) {
  Source s{width, height, pitch, std::vector<uint8_t>(std::size_t{pitch} * height, 0xEE)};
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width * 4; ++x)
      s.bytes[y * pitch + x] = static_cast<uint8_t>(seed + x * 7 + y * 13);
  }
  return s;
}

// What the SDK must receive: a fresh zero-filled frame with each row's
// covered bytes converted, or for an opaque source copied with alpha 255.
std::vector<uint8_t> expected_frame(const Source& s, uint32_t staging_pitch, bool opaque) {
  std::vector<uint8_t> out(std::size_t{s.width} * 4 * s.height, 0);
  const std::size_t row = std::min<std::size_t>(s.width * 4, staging_pitch);
  copy_straight_alpha_reference(s.bytes.data(), s.pitch, out.data(), s.width * 4, row, s.height);
  for (uint32_t y = 0; opaque && y < s.height; ++y) {
    for (std::size_t i = 0; i + 4 <= row; i += 4) {
      std::memcpy(&out[y * s.width * 4 + i], &s.bytes[y * s.pitch + i], 3);
      out[y * s.width * 4 + i + 3] = 255;
    }
  }
  return out;
}

class FrameForwarderTest : public ::testing::Test {
 protected:
  capture::HandlerResult forward(const Source& s, bool opaque = false) {
    const auto format = opaque ? platform::kPixelFormatBgrx8 : platform::kPixelFormatBgra8;
    auto texture = std::make_shared<capture::fakes::FakeTexture>(
        fake_, capture::fakes::texture_desc(s.width, s.height, format), s.pitch);
    texture->bytes() = s.bytes;
    capture::CaptureFrame frame(device_, context_, std::move(texture), platform::kPixelFormatBgra8,
                                std::nullopt);
    capture::FrameControl control;
    return forwarder_->handle_frame(frame, control);
  }
  capture::fakes::FakePlatform fake_;
  std::shared_ptr<platform::Device> device_ = std::make_shared<capture::fakes::FakeDevice>(fake_);
  std::shared_ptr<platform::DeviceContext> context_ =
      std::make_shared<capture::fakes::FakeContext>(fake_);
  NdiRuntime runtime_ = NdiRuntime::acquire().value();
  std::optional<NdiSender> sender_ =
      NdiSender::create({"forwarder test", std::nullopt, true, false}).value();
  const uint64_t instance_id_ = tarvix_standin_instance_id(sender_->handle());
  std::optional<NdiFrameForwarder> forwarder_{std::in_place, *sender_};
};

// Rows go out packed and in straight alpha (a source without alpha goes out
// opaque whatever its fourth byte), padded staging rows or not. The frame
// buffer is kept between frames: same size with shorter rows after a full
// frame, then smaller, then larger again, stale bytes must never show.
TEST_F(FrameForwarderTest, SendsWhatAFreshPackedFrameWouldHoldWithItsDescriptor) {
  struct Step {
    uint32_t width, height, alignment;
    bool short_rows, opaque;
  };
  const Step steps[] = {{5, 3, 64, false, false}, {8, 4, 1, false, false}, {8, 4, 1, true, false},
                        {3, 2, 1, false, false},  {8, 4, 1, true, false},  {9, 5, 1, false, true},
                        {9, 5, 1, true, true},    {9, 5, 1, false, false}};
  uint8_t seed = 1;
  for (const Step& step : steps) {
    const Source s = make_source(step.width, step.height, step.width * 4 + 8, seed += 40);
    // Short staging rows leave the last pixel of every packed row unwritten.
    fake_.set_staging_rows(step.alignment, step.short_rows);
    ASSERT_TRUE(forward(s, step.opaque).ok());
    const uint32_t staging_pitch = step.short_rows ? step.width * 4 - 4 : step.width * 4;
    EXPECT_EQ(tarvix::testing::standin_last_video(instance_id_),
              expected_frame(s, staging_pitch, step.opaque))
        << step.width << " x " << step.height << (step.short_rows ? " short rows" : "")
        << (step.opaque ? " opaque" : "");
  }
  EXPECT_EQ(standin_instance(instance_id_).video_frames, std::size(steps));
  const tarvix_standin_video_info v = standin_instance(instance_id_).last_video;
  EXPECT_EQ(std::tuple(v.xres, v.yres, v.fourcc, v.frame_rate_n, v.frame_rate_d,
                       v.picture_aspect_ratio, v.frame_format_type, v.timecode,
                       v.line_stride_in_bytes, v.has_metadata, v.timestamp),
            std::tuple(9, 5, 0x41524742, 60, 1, 9.0f / 5.0f, 1, std::numeric_limits<int64_t>::max(),
                       36, 0, 0));
}

// Nothing is sent of a frame too large to send, refused before it is read,
// nor of one that could not be read, whose error is passed on.
TEST_F(FrameForwarderTest, FramesThatCannotBeSentAreRefusedWithoutSending) {
  const auto refusal = [&](Source s) {
    const auto forwarded = forward(s);
    return forwarded.ok() ? "sent" : forwarded.error().text;
  };
  EXPECT_NE(refusal({5121, 5120, 5121 * 4, {}}), "sent");
  EXPECT_EQ(fake_.count("context.copy_resource"), 0) << "a refused frame was read";
  // A code without a text of its own is still named.
  const platform::PlatformError unknown{platform::hresult(0x80990001), {}};
  fake_.fail("context.map", unknown, 0, 1);
  EXPECT_EQ(refusal(make_source(2, 2, 8, 0)), "Windows API error: Unknown error (0x80990001)");
  fake_.fail("device.create_texture_2d", unknown, 0, 1);
  EXPECT_EQ(refusal(make_source(2, 2, 8, 0)),
            "DirectX error: Windows API Error: Unknown error (0x80990001)");
  fake_.return_null("device.create_texture_2d");
  EXPECT_EQ(refusal(make_source(2, 2, 8, 0)),
            "DirectX error: Windows API succeeded but did not return an `ID3D11Texture2D`");
  EXPECT_EQ(fake_.live_textures() + fake_.mapped_textures(), 0);
  EXPECT_TRUE(forwarder_->handle_closed().ok());
  EXPECT_EQ(standin_instance(instance_id_).video_frames, 0u);
}

}  // namespace
}  // namespace tarvix::ndi
