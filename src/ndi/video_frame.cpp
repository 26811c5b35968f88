#include "ndi/video_frame.h"

#include <algorithm>
#include <limits>
#include <new>

namespace tarvix::ndi {
namespace {

NdiError refuse(std::string message) {
  return NdiError::invalid_frame(std::move(message));
}

// Returns the buffer size, or the message of the first failed check.
Result<uint64_t, NdiError> checked_size(int32_t width, int32_t height) {
  if (width <= 0) return Err{refuse("Video frame has invalid width: " + std::to_string(width))};
  if (height <= 0) return Err{refuse("Video frame has invalid height: " + std::to_string(height))};
  const uint64_t stride = 4 * static_cast<uint64_t>(width);
  const uint64_t size = stride * static_cast<uint64_t>(height);  // < 2^33 * 2^31: no overflow
  if (size > kMaxVideoFrameBytes) {
    return Err{refuse("Video frame exceeds maximum size: " + std::to_string(size) + " bytes > " +
                      std::to_string(kMaxVideoFrameBytes) + " bytes")};
  }
  // The width and size checks above already bound the stride to 100 MiB.
  if (stride > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
    return Err{refuse("Video line stride " + std::to_string(stride) + " exceeds i32 range")};
  }
  return size;
}

void zero_fill(std::vector<uint8_t>& buffer, uint64_t size) {
  try {
    buffer.assign(static_cast<std::size_t>(size), 0);
  } catch (const std::bad_alloc&) {
    fatal("out of memory for a video frame buffer");
  }
}

}  // namespace

Result<VideoFrame, NdiError> VideoFrame::build_bgra(int32_t width, int32_t height) {
  return build_bgra(width, height, {});
}

Result<VideoFrame, NdiError> VideoFrame::build_bgra(int32_t width, int32_t height,
                                                    std::vector<uint8_t> reuse) {
  auto size = checked_size(width, height);
  if (!size) return Err{std::move(size).error()};
  zero_fill(reuse, size.value());
  return VideoFrame(width, height, std::move(reuse));
}

Result<VideoFrame, NdiError> VideoFrame::build_bgra_to_overwrite(int32_t width, int32_t height,
                                                                 std::vector<uint8_t> reuse) {
  auto size = checked_size(width, height);
  if (!size) return Err{std::move(size).error()};
  if (reuse.size() != size.value()) {
    // Drop the old allocation first so that two frames never coexist.
    std::vector<uint8_t>().swap(reuse);
    zero_fill(reuse, size.value());
  }
  return VideoFrame(width, height, std::move(reuse));
}

NDIlib_video_frame_v2_t VideoFrame::descriptor() const noexcept {
  NDIlib_video_frame_v2_t frame{};
  frame.xres = width_;
  frame.yres = height_;
  frame.FourCC = fourcc();
  frame.frame_rate_N = kVideoFrameRateN;
  frame.frame_rate_D = kVideoFrameRateD;
  frame.picture_aspect_ratio = aspect_ratio();
  frame.frame_format_type = NDIlib_frame_format_type_progressive;
  frame.timecode = timecode();
  // The SDK takes a non-const pointer but only reads the pixels.
  frame.p_data = const_cast<uint8_t*>(data_.data());
  frame.line_stride_in_bytes = line_stride_;
  frame.p_metadata = metadata_ ? metadata_->c_str() : nullptr;
  frame.timestamp = timestamp();
  return frame;
}

}  // namespace tarvix::ndi
