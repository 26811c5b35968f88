// The owned record of one BGRA video frame: a zero-filled pixel buffer plus
// the values of the SDK's video descriptor. Building one checks the size
// before any memory is committed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ndi/error.h"
#include "ndi/sdk.h"
#include "support/result.h"

namespace tarvix::ndi {

// 100 MiB: a 5120 x 5120 BGRA frame just fits.
inline constexpr uint64_t kMaxVideoFrameBytes = 100ull * 1024 * 1024;
inline constexpr int32_t kVideoFrameRateN = 60;
inline constexpr int32_t kVideoFrameRateD = 1;

class VideoFrame {
 public:
  // Refusals are InvalidFrame with the message naming the first bad value.
  static Result<VideoFrame, NdiError> build_bgra(int32_t width, int32_t height);
  // The same, but over a buffer kept from an earlier frame, so a caller that
  // sends frame after frame can reuse its allocation (see take_buffer).
  static Result<VideoFrame, NdiError> build_bgra(int32_t width, int32_t height,
                                                 std::vector<uint8_t> reuse);
  // For a caller that writes every byte of the frame: a reused buffer that
  // already has the frame's size keeps its bytes instead of being zeroed
  // again (zeroing a 4K frame costs as much as converting it). A buffer of
  // another size is replaced by a zero-filled one.
  static Result<VideoFrame, NdiError> build_bgra_to_overwrite(int32_t width, int32_t height,
                                                              std::vector<uint8_t> reuse);

  VideoFrame(VideoFrame&&) noexcept = default;
  VideoFrame& operator=(VideoFrame&&) noexcept = default;
  VideoFrame(const VideoFrame&) = delete;
  VideoFrame& operator=(const VideoFrame&) = delete;

  int32_t width() const noexcept { return width_; }
  int32_t height() const noexcept { return height_; }
  int32_t line_stride() const noexcept { return line_stride_; }
  NDIlib_FourCC_video_type_e fourcc() const noexcept { return NDIlib_FourCC_video_type_BGRA; }
  int64_t timecode() const noexcept { return NDIlib_send_timecode_synthesize; }
  int64_t timestamp() const noexcept { return 0; }
  // Square pixels: the picture is as wide as the frame's own shape.
  float aspect_ratio() const noexcept {
    return static_cast<float>(width_) / static_cast<float>(height_);
  }
  const std::optional<std::string>& metadata() const noexcept { return metadata_; }

  std::span<uint8_t> data() noexcept { return data_; }
  std::span<const uint8_t> data() const noexcept { return data_; }

  // The SDK descriptor; it borrows data() and must not outlive this record.
  NDIlib_video_frame_v2_t descriptor() const noexcept;

  // Gives the buffer back for the next build over it.
  std::vector<uint8_t> take_buffer() && noexcept { return std::move(data_); }

 private:
  VideoFrame(int32_t width, int32_t height, std::vector<uint8_t> data)
      : width_(width), height_(height), line_stride_(width * 4), data_(std::move(data)) {}

  int32_t width_;
  int32_t height_;
  int32_t line_stride_;
  std::vector<uint8_t> data_;
  std::optional<std::string> metadata_;
};

}  // namespace tarvix::ndi
