#include "capture/platform/x11/x11_frame.h"

namespace tarvix::capture::platform::x11 {

PlatformResult<void> WindowTexture::read_into(const PixelBuffer& into, std::uint32_t pitch) {
  return capture_->read(into, desc_.width, desc_.height, pitch);
}

X11Frame::X11Frame(std::shared_ptr<WindowCapture> capture, SizeInt32 content, SizeInt32 pool_size,
                   PixelFormat format)
    : capture_(std::move(capture)), content_(content) {
  // The texture has the pool's size, as on the other platform: right after
  // a resize it differs from the content size until the pool is remade.
  desc_.width = static_cast<std::uint32_t>(pool_size.width);
  desc_.height = static_cast<std::uint32_t>(pool_size.height);
  desc_.mip_levels = 1;
  desc_.array_size = 1;
  // A window without alpha reads with padding in the fourth byte; the
  // format says so, and the reader of the frame sets alpha as it copies.
  desc_.format = static_cast<std::uint32_t>(capture_->opaque() ? kPixelFormatBgrx8 : format);
  desc_.sample_count = 1;
}

X11Frame::~X11Frame() {
  capture_->release_frame();
}

PlatformResult<std::shared_ptr<Texture>> X11Frame::texture() {
  return std::shared_ptr<Texture>(std::make_shared<WindowTexture>(capture_, desc_));
}

}  // namespace tarvix::capture::platform::x11
