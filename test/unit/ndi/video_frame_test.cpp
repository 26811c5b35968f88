#include "ndi/video_frame.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarvix::ndi {
namespace {

std::string refusal(int32_t width, int32_t height) {
  auto frame = VideoFrame::build_bgra(width, height);
  EXPECT_FALSE(frame.ok());
  if (frame.ok()) return {};
  EXPECT_EQ(frame.error().kind(), NdiErrorKind::InvalidFrame);
  return frame.error().text();
}

TEST(VideoFrameTest, RefusesNonPositiveSidesWidthFirst) {
  EXPECT_EQ(refusal(0, 0), "Video frame has invalid width: 0");
  EXPECT_EQ(refusal(-5, 10), "Video frame has invalid width: -5");
  EXPECT_EQ(refusal(10, 0), "Video frame has invalid height: 0");
  // A capture width above the signed range arrives wrapped.
  const auto wrapped = static_cast<int32_t>(static_cast<uint32_t>(3000000000u));
  EXPECT_EQ(refusal(wrapped, 1), "Video frame has invalid width: -1294967296");
}

TEST(VideoFrameTest, SizeLimitIsInclusiveAndFramesStartZeroedAndPacked) {
  auto largest = VideoFrame::build_bgra(5120, 5120);
  ASSERT_TRUE(largest.ok());
  EXPECT_EQ(largest->data().size(), 104857600u);
  EXPECT_EQ(refusal(5121, 5120),
            "Video frame exceeds maximum size: 104878080 bytes > 104857600 bytes");
  // The product is taken in 64 bits, so huge sides do not wrap under the limit.
  EXPECT_EQ(refusal(65536, 65536),
            "Video frame exceeds maximum size: 17179869184 bytes > 104857600 bytes");
  auto wide = VideoFrame::build_bgra(100000, 1);
  ASSERT_TRUE(wide.ok());
  EXPECT_EQ(wide->data().size(), 400000u);

  auto frame = VideoFrame::build_bgra(7, 3);
  ASSERT_TRUE(frame.ok());
  EXPECT_EQ(frame->line_stride(), 28);
  EXPECT_TRUE(
      std::all_of(frame->data().begin(), frame->data().end(), [](uint8_t b) { return b == 0; }));
}

}  // namespace
}  // namespace tarvix::ndi
