// A captured frame as a handler sees it, and its processor-readable copy.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "capture/frame_error.h"
#include "capture/platform/graphics.h"
#include "support/result.h"

namespace tarvix::capture {

// A staging copy of a frame, mapped for reading (and writing) until it is
// destroyed; the texture itself may live on for the next frame. Row r starts at data() + r *
// row_pitch(); row_pitch() may be larger than width() * 4.
class MappedFrame {
 public:
  MappedFrame(std::shared_ptr<platform::DeviceContext> context,
              std::shared_ptr<platform::Texture> staging, platform::MappedSubresource mapping,
              std::uint32_t width, std::uint32_t height, platform::PixelFormat format);
  ~MappedFrame();
  MappedFrame(MappedFrame&& other) noexcept;
  MappedFrame& operator=(MappedFrame&& other) noexcept;
  MappedFrame(const MappedFrame&) = delete;
  MappedFrame& operator=(const MappedFrame&) = delete;

  // height() * row_pitch() bytes are readable.
  std::uint8_t* data() const noexcept { return mapping_.data; }
  std::uint32_t row_pitch() const noexcept { return mapping_.row_pitch; }
  std::uint32_t depth_pitch() const noexcept { return mapping_.depth_pitch; }
  std::uint32_t width() const noexcept { return width_; }
  std::uint32_t height() const noexcept { return height_; }
  platform::PixelFormat pixel_format() const noexcept { return format_; }

 private:
  void release() noexcept;

  std::shared_ptr<platform::DeviceContext> context_;
  std::shared_ptr<platform::Texture> staging_;
  platform::MappedSubresource mapping_;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  platform::PixelFormat format_ = 0;
};

// The staging texture of the last read-back, reused while frames keep their
// size: a new one per frame would cost an allocation and a stall each time.
struct StagingSlot {
  std::shared_ptr<platform::Texture> texture;
  platform::TextureDesc desc;
};

// One frame, lent to handle_frame and valid only during that call.
class CaptureFrame {
 public:
  // Without a slot every read-back makes its own staging texture.
  CaptureFrame(std::shared_ptr<platform::Device> device,
               std::shared_ptr<platform::DeviceContext> context,
               std::shared_ptr<platform::Texture> texture, platform::PixelFormat format,
               std::optional<std::uint32_t> title_bar_height, StagingSlot* staging = nullptr);

  std::uint32_t width() const noexcept { return desc_.width; }
  std::uint32_t height() const noexcept { return desc_.height; }
  platform::PixelFormat pixel_format() const noexcept { return format_; }
  // Height of the window's title bar in pixels; the frame still contains it.
  std::optional<std::uint32_t> title_bar_height() const noexcept { return title_bar_height_; }
  const platform::TextureDesc& description() const noexcept { return desc_; }
  platform::Texture& texture() const noexcept { return *texture_; }

  // Copies the frame into the staging texture (the slot's, when it fits) and
  // maps it. Nothing stays mapped, nor allocated beyond the slot, when it
  // fails.
  Result<MappedFrame, FrameError> read_back();

 private:
  std::shared_ptr<platform::Device> device_;
  std::shared_ptr<platform::DeviceContext> context_;
  std::shared_ptr<platform::Texture> texture_;
  platform::TextureDesc desc_;
  platform::PixelFormat format_;
  std::optional<std::uint32_t> title_bar_height_;
  StagingSlot* staging_;
};

}  // namespace tarvix::capture
