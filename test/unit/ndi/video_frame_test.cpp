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

TEST(VideoFrameTest, SizeLimitIsInclusive) {
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
}

TEST(VideoFrameTest, NewFrameIsZeroedWithPackedRows) {
  auto one = VideoFrame::build_bgra(1, 1);
  ASSERT_TRUE(one.ok());
  EXPECT_EQ(one->line_stride(), 4);
  EXPECT_EQ(one->data().size(), 4u);

  auto frame = VideoFrame::build_bgra(7, 3);
  ASSERT_TRUE(frame.ok());
  EXPECT_EQ(frame->line_stride(), 28);
  EXPECT_TRUE(
      std::all_of(frame->data().begin(), frame->data().end(), [](uint8_t b) { return b == 0; }));
}

TEST(VideoFrameTest, ReusedBufferIsZeroedAgainAndKeepsItsAllocation) {
  auto first = VideoFrame::build_bgra(8, 8);
  ASSERT_TRUE(first.ok());
  std::fill(first->data().begin(), first->data().end(), uint8_t{0xAB});
  const uint8_t* storage = first->data().data();
  std::vector<uint8_t> buffer = std::move(first).value().take_buffer();

  auto second = VideoFrame::build_bgra(4, 4, std::move(buffer));
  ASSERT_TRUE(second.ok());
  EXPECT_EQ(second->data().data(), storage);
  EXPECT_EQ(second->data().size(), 64u);
  EXPECT_TRUE(
      std::all_of(second->data().begin(), second->data().end(), [](uint8_t b) { return b == 0; }));
}

TEST(VideoFrameTest, BufferToOverwriteIsZeroedOnlyWhenItsSizeChanges) {
  auto first = VideoFrame::build_bgra(4, 4);
  ASSERT_TRUE(first.ok());
  std::fill(first->data().begin(), first->data().end(), uint8_t{0xAB});
  const uint8_t* storage = first->data().data();

  auto same = VideoFrame::build_bgra_to_overwrite(2, 8, std::move(first).value().take_buffer());
  ASSERT_TRUE(same.ok());
  EXPECT_EQ(same->data().data(), storage);
  EXPECT_EQ(same->line_stride(), 8);
  EXPECT_TRUE(
      std::all_of(same->data().begin(), same->data().end(), [](uint8_t b) { return b == 0xAB; }));

  auto other = VideoFrame::build_bgra_to_overwrite(3, 3, std::move(same).value().take_buffer());
  ASSERT_TRUE(other.ok());
  EXPECT_EQ(other->data().size(), 36u);
  EXPECT_TRUE(
      std::all_of(other->data().begin(), other->data().end(), [](uint8_t b) { return b == 0; }));

  auto refused = VideoFrame::build_bgra_to_overwrite(0, 3, std::move(other).value().take_buffer());
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().display(), "Invalid frame data: Video frame has invalid width: 0");
}

TEST(VideoFrameTest, DescriptorBorrowsTheBuffer) {
  auto frame = VideoFrame::build_bgra(2, 2);
  ASSERT_TRUE(frame.ok());
  const NDIlib_video_frame_v2_t d = frame->descriptor();
  EXPECT_EQ(d.p_data, frame->data().data());
  EXPECT_EQ(d.p_metadata, nullptr);
  EXPECT_EQ(d.line_stride_in_bytes, 8);
}

}  // namespace
}  // namespace tarvix::ndi
