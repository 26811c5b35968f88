// The video and audio frame records: what each refuses, in the order the
// checks run, with the texts scripts see; and the escaping of the debug form
// those texts travel in.
#include <gtest/gtest.h>

#include "ndi/audio_frame.h"
#include "ndi/video_frame.h"

namespace tarvix::ndi {
namespace {

template <class Frame>
std::string outcome(const Result<Frame, NdiError>& frame) {
  if (frame.ok()) return "accepted";
  EXPECT_EQ(frame.error().kind(), NdiErrorKind::InvalidFrame) << frame.error().text();
  return frame.error().text();
}

std::string video(int32_t width, int32_t height) {
  return outcome(VideoFrame::build_bgra(width, height));
}

std::string audio(int32_t rate, int32_t channels, int32_t samples, std::size_t floats) {
  return outcome(AudioFrameBuilder()
                     .sample_rate(rate)
                     .channels(channels)
                     .samples_per_channel(samples)
                     .timecode(INT64_MAX)
                     .data(std::vector<float>(floats))
                     .build());
}

TEST(FrameRecordTest, RefusalsComeInOrderAndLimitsAreInclusive) {
  // A capture width above the signed range arrives wrapped.
  const auto wrapped = static_cast<int32_t>(3000000000u);
  const std::pair<std::string, const char*> cases[] = {
      {video(0, 0), "Video frame has invalid width: 0"},
      {video(10, 0), "Video frame has invalid height: 0"},
      {video(wrapped, 1), "Video frame has invalid width: -1294967296"},
      {video(5120, 5120), "accepted"},
      {video(5121, 5120), "Video frame exceeds maximum size: 104878080 bytes > 104857600 bytes"},
      // The product is taken in 64 bits, so huge sides do not wrap under the limit.
      {video(65536, 65536),
       "Video frame exceeds maximum size: 17179869184 bytes > 104857600 bytes"},
      {video(100000, 1), "accepted"},
      {audio(0, 0, 0, 0), "Invalid sample rate: 0"},
      {audio(-48000, 2, 1, 2), "Invalid sample rate: -48000"},
      {audio(48000, -2, 0, 0), "Invalid number of channels: -2"},
      {audio(48000, 2, 0, 0), "Invalid number of samples: 0"},
      // The stride limit comes before the size limit, both before the data length.
      {audio(48000, 1, 536870912, 0), "Audio channel stride 2147483648 exceeds i32 range"},
      {audio(48000, 1, INT32_MAX, 0), "Audio channel stride 8589934588 exceeds i32 range"},
      {audio(48000, 8, 536870911, 0),
       "Audio frame exceeds maximum size: 17179869152 bytes > 67108864 bytes"},
      {audio(48000, 2, 8388608, 16777216), "accepted"},
      {audio(48000, 2, 8388609, 0),
       "Audio frame exceeds maximum size: 67108872 bytes > 67108864 bytes"},
      {audio(48000, 2, 4, 7), "Audio data length 7, expected 8 (2ch x 4samples)"},
      {audio(48000, 2, 4, 9), "Audio data length 9, expected 8 (2ch x 4samples)"},
  };
  for (const auto& [got, expected] : cases)
    EXPECT_EQ(got, expected);
}

// The display form is what a person reads; the debug form, escaped, is what
// a script sees.
TEST(FrameRecordTest, ErrorTexts) {
  const NdiError error = NdiError::invalid_frame("a \"b\" \\ c\n\t\r\x01\x7f\u00e9");
  EXPECT_EQ(error.display(), "Invalid frame data: a \"b\" \\ c\n\t\r\x01\x7f\u00e9");
  EXPECT_EQ(error.debug(), "InvalidFrame(\"a \\\"b\\\" \\\\ c\\n\\t\\r\\u{1}\\u{7f}\u00e9\")");
}

}  // namespace
}  // namespace tarvix::ndi
