// The graphics side of the backend. There is no GPU work on X11: the
// "device" is the capture thread's X connection plus a spare pixel buffer;
// a frame's texture reads the window when it is copied; a staging texture
// is a pixel buffer the processor can map.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "capture/platform/graphics.h"
#include "capture/platform/x11/pixel_buffer.h"
#include "capture/platform/x11/x_connection.h"

namespace tarvix::capture::platform::x11 {

inline constexpr std::uint32_t kBytesPerPixel = 4;
// X windows cannot be larger; a texture that is would be a caller's mistake.
inline constexpr std::uint32_t kMaxTextureSide = 32767;

// A texture whose pixels come from the window: copying it reads them. An
// error says why the buffer does not hold the whole frame: kFrameNotReady
// when the window changed meanwhile, anything else ends the capture.
class SourceTexture : public Texture {
 public:
  virtual PlatformResult<void> read_into(const PixelBuffer& into, std::uint32_t pitch) = 0;
};

class StagingTexture final : public Texture {
 public:
  StagingTexture(const TextureDesc& desc, std::shared_ptr<PixelBufferPool> pool);
  StagingTexture(const StagingTexture&) = delete;
  StagingTexture& operator=(const StagingTexture&) = delete;
  ~StagingTexture() override;

  TextureDesc desc() const override { return desc_; }
  std::uint32_t pitch() const noexcept { return desc_.width * kBytesPerPixel; }
  const PixelBuffer& buffer() const noexcept { return buffer_; }
  // What the last copy into it left: a whole frame, or why not.
  void set_copied(PlatformResult<void> copied) { copied_ = std::move(copied); }
  const PlatformResult<void>& copied() const noexcept { return copied_; }

 private:
  TextureDesc desc_;
  std::shared_ptr<PixelBufferPool> pool_;
  PixelBuffer buffer_;
  PlatformResult<void> copied_;
};

class X11DeviceContext final : public DeviceContext {
 public:
  void copy_resource(Texture& destination, Texture& source) override;
  PlatformResult<MappedSubresource> map(Texture& texture, std::uint32_t subresource,
                                        std::uint32_t map_type, std::uint32_t flags) override;
  void unmap(Texture& texture, std::uint32_t subresource) override;
};

// The capture device handed to frame pools: it carries the connection.
class X11CaptureDevice final : public CaptureDevice {
 public:
  explicit X11CaptureDevice(std::shared_ptr<XConnection> connection)
      : connection_(std::move(connection)) {}
  const std::shared_ptr<XConnection>& connection() const noexcept { return connection_; }

 private:
  std::shared_ptr<XConnection> connection_;
};

class X11Device final : public Device {
 public:
  explicit X11Device(std::shared_ptr<XConnection> connection);
  PlatformResult<std::shared_ptr<Texture>> create_texture_2d(const TextureDesc& desc) override;
  PlatformResult<std::shared_ptr<CaptureDevice>> create_capture_device() override;

 private:
  std::shared_ptr<XConnection> connection_;
  std::shared_ptr<PixelBufferPool> buffers_;
};

// Opens the calling thread's X connection (it becomes the thread's current
// one, which items and geometry on this thread then use) and makes the
// device and context on it.
PlatformResult<DeviceCreation> create_x11_device(std::span<const FeatureLevel> levels);

}  // namespace tarvix::capture::platform::x11
