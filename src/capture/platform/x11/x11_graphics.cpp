#include "capture/platform/x11/x11_graphics.h"

#include <span>

namespace tarvix::capture::platform::x11 {

namespace {

PlatformError invalid(const char* what) {
  return {kInvalidArg, what};
}

bool is_staging_read(const TextureDesc& d) {
  return d.usage == kUsageStaging && (d.cpu_access_flags & kCpuAccessRead) != 0;
}

}  // namespace

StagingTexture::StagingTexture(const TextureDesc& desc, std::shared_ptr<PixelBufferPool> pool)
    : desc_(desc),
      pool_(std::move(pool)),
      buffer_(pool_->acquire(std::size_t{desc.width} * kBytesPerPixel * desc.height)) {}

StagingTexture::~StagingTexture() {
  pool_->give_back(std::move(buffer_));
}

void X11DeviceContext::copy_resource(Texture& destination, Texture& source) {
  auto* staging = dynamic_cast<StagingTexture*>(&destination);
  auto* window = dynamic_cast<SourceTexture*>(&source);
  if (!staging || !window) return;
  const TextureDesc to = staging->desc();
  const TextureDesc from = window->desc();
  // Like the real call: textures that do not match copy nothing.
  if (to.width != from.width || to.height != from.height || to.format != from.format) return;
  staging->set_copied(window->read_into(staging->buffer(), staging->pitch()));
}

PlatformResult<MappedSubresource> X11DeviceContext::map(Texture& texture, std::uint32_t subresource,
                                                        std::uint32_t map_type,
                                                        std::uint32_t /*flags*/) {
  auto* staging = dynamic_cast<StagingTexture*>(&texture);
  if (!staging) return Err{invalid("only staging textures of this device can be mapped")};
  if (subresource != 0) return Err{invalid("a 2D texture has only subresource 0")};
  if (map_type == 0 || map_type > 5) return Err{invalid("unknown map type")};
  // A frame read only in part is never handed out.
  if (!staging->copied()) return Err{staging->copied().error()};
  const std::uint32_t pitch = staging->pitch();
  return MappedSubresource{staging->buffer().data(), pitch, pitch * staging->desc().height};
}

// The buffer stays readable while the texture lives; there is nothing to undo.
void X11DeviceContext::unmap(Texture& /*texture*/, std::uint32_t /*subresource*/) {}

X11Device::X11Device(std::shared_ptr<XConnection> connection)
    : connection_(connection), buffers_(std::make_shared<PixelBufferPool>(std::move(connection))) {}

PlatformResult<std::shared_ptr<Texture>> X11Device::create_texture_2d(const TextureDesc& desc) {
  if (!is_staging_read(desc)) {
    return Err{invalid("this device makes only staging textures the processor reads")};
  }
  if (desc.width == 0 || desc.height == 0 || desc.width > kMaxTextureSide ||
      desc.height > kMaxTextureSide) {
    return Err{invalid("texture size out of range")};
  }
  if (desc.format != static_cast<std::uint32_t>(kPixelFormatBgra8) &&
      desc.format != static_cast<std::uint32_t>(kPixelFormatBgrx8)) {
    return Err{invalid("only B8G8R8A8 and B8G8R8X8 textures are supported")};
  }
  return std::shared_ptr<Texture>(std::make_shared<StagingTexture>(desc, buffers_));
}

PlatformResult<std::shared_ptr<CaptureDevice>> X11Device::create_capture_device() {
  return std::shared_ptr<CaptureDevice>(std::make_shared<X11CaptureDevice>(connection_));
}

PlatformResult<DeviceCreation> create_x11_device(std::span<const FeatureLevel> levels) {
  auto connection = XConnection::open();
  if (!connection) return Err{connection.error()};
  connection.value()->make_current(connection.value());
  DeviceCreation made;
  made.device = std::make_shared<X11Device>(connection.value());
  made.context = std::make_shared<X11DeviceContext>();
  // No feature levels here: the device does everything asked of it.
  made.level = levels.empty() ? FeatureLevel::Level11_0 : levels.front();
  return made;
}

}  // namespace tarvix::capture::platform::x11
