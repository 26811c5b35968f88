#include "ndi/audio_frame.h"

#include <gtest/gtest.h>

namespace tarvix::ndi {
namespace {

Result<AudioFrame, NdiError> build(int32_t rate, int32_t channels, int32_t samples,
                                   std::size_t floats) {
  return AudioFrameBuilder()
      .sample_rate(rate)
      .channels(channels)
      .samples_per_channel(samples)
      .timecode(INT64_MAX)
      .data(std::vector<float>(floats))
      .build();
}

std::string refusal(int32_t rate, int32_t channels, int32_t samples, std::size_t floats) {
  auto frame = build(rate, channels, samples, floats);
  EXPECT_FALSE(frame.ok());
  if (frame.ok()) return {};
  EXPECT_EQ(frame.error().kind(), NdiErrorKind::InvalidFrame);
  return frame.error().text();
}

TEST(AudioFrameTest, RefusesNonPositiveValuesInOrder) {
  EXPECT_EQ(refusal(0, 0, 0, 0), "Invalid sample rate: 0");
  EXPECT_EQ(refusal(-48000, 2, 1, 2), "Invalid sample rate: -48000");
  EXPECT_EQ(refusal(48000, -2, 0, 0), "Invalid number of channels: -2");
  EXPECT_EQ(refusal(48000, 2, 0, 0), "Invalid number of samples: 0");
}

TEST(AudioFrameTest, StrideLimitComesBeforeTheSizeLimit) {
  // The data length is never looked at: these fail before any check of it.
  EXPECT_EQ(refusal(48000, 1, 536870912, 0), "Audio channel stride 2147483648 exceeds i32 range");
  EXPECT_EQ(refusal(48000, 1, INT32_MAX, 0), "Audio channel stride 8589934588 exceeds i32 range");
  EXPECT_EQ(refusal(48000, 8, 536870911, 0),
            "Audio frame exceeds maximum size: 17179869152 bytes > 67108864 bytes");
}

TEST(AudioFrameTest, SizeLimitIsInclusiveAndDataLengthMustMatch) {
  auto largest = build(48000, 2, 8388608, 16777216);
  ASSERT_TRUE(largest.ok());
  EXPECT_EQ(largest->data().size(), 16777216u);
  EXPECT_EQ(refusal(48000, 2, 8388609, 0),
            "Audio frame exceeds maximum size: 67108872 bytes > 67108864 bytes");
  EXPECT_EQ(refusal(48000, 2, 4, 7), "Audio data length 7, expected 8 (2ch x 4samples)");
  EXPECT_EQ(refusal(48000, 2, 4, 9), "Audio data length 9, expected 8 (2ch x 4samples)");
}

}  // namespace
}  // namespace tarvix::ndi
