#include "capture/capture_frame.h"

#include <utility>

namespace tarvix::capture {

MappedFrame::MappedFrame(std::shared_ptr<platform::DeviceContext> context,
                         std::shared_ptr<platform::Texture> staging,
                         platform::MappedSubresource mapping, std::uint32_t width,
                         std::uint32_t height, platform::PixelFormat format)
    : context_(std::move(context)),
      staging_(std::move(staging)),
      mapping_(mapping),
      width_(width),
      height_(height),
      format_(format) {}

MappedFrame::~MappedFrame() {
  release();
}

MappedFrame::MappedFrame(MappedFrame&& other) noexcept
    : context_(std::move(other.context_)),
      staging_(std::move(other.staging_)),
      mapping_(std::exchange(other.mapping_, {})),
      width_(other.width_),
      height_(other.height_),
      format_(other.format_) {}

MappedFrame& MappedFrame::operator=(MappedFrame&& other) noexcept {
  if (this != &other) {
    release();
    context_ = std::move(other.context_);
    staging_ = std::move(other.staging_);
    mapping_ = std::exchange(other.mapping_, {});
    width_ = other.width_;
    height_ = other.height_;
    format_ = other.format_;
  }
  return *this;
}

void MappedFrame::release() noexcept {
  if (context_ && staging_) context_->unmap(*staging_, 0);
  staging_.reset();
  context_.reset();
  mapping_ = {};
}

CaptureFrame::CaptureFrame(std::shared_ptr<platform::Device> device,
                           std::shared_ptr<platform::DeviceContext> context,
                           std::shared_ptr<platform::Texture> texture, platform::PixelFormat format,
                           std::optional<std::uint32_t> title_bar_height, StagingSlot* staging)
    : device_(std::move(device)),
      context_(std::move(context)),
      texture_(std::move(texture)),
      desc_(texture_->desc()),
      format_(format),
      title_bar_height_(title_bar_height),
      staging_(staging) {}

Result<MappedFrame, FrameError> CaptureFrame::read_back() {
  platform::TextureDesc staging_desc;
  staging_desc.width = desc_.width;
  staging_desc.height = desc_.height;
  staging_desc.mip_levels = 1;
  staging_desc.array_size = 1;
  staging_desc.format = desc_.format;
  staging_desc.sample_count = 1;
  staging_desc.sample_quality = 0;
  staging_desc.usage = platform::kUsageStaging;
  staging_desc.bind_flags = 0;
  staging_desc.cpu_access_flags = platform::kCpuAccessRead | platform::kCpuAccessWrite;
  staging_desc.misc_flags = 0;

  std::shared_ptr<platform::Texture> staging;
  if (staging_ && staging_->texture && staging_->desc == staging_desc) {
    staging = staging_->texture;
  } else {
    if (staging_) staging_->texture.reset();
    auto created = device_->create_texture_2d(staging_desc);
    if (!created) return Err{FrameError::directx(DeviceError::windows(std::move(created).error()))};
    staging = std::move(created).value();
    if (!staging) return Err{FrameError::directx(DeviceError::null_result(kMissingTexture))};
    if (staging_) *staging_ = StagingSlot{staging, staging_desc};
  }

  context_->copy_resource(*staging, *texture_);
  auto mapped = context_->map(*staging, 0, platform::kMapReadWrite, 0);
  if (!mapped) {
    if (staging_) staging_->texture.reset();
    return Err{FrameError::windows(std::move(mapped).error())};
  }
  return MappedFrame(context_, std::move(staging), mapped.value(), desc_.width, desc_.height,
                     format_);
}

}  // namespace tarvix::capture
