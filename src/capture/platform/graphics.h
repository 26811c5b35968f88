// The graphics objects the capture logic uses: a device, its immediate
// context and 2D textures. Objects are shared like the reference-counted
// objects they stand for; a backend downcasts arguments to its own types and
// fails with kInvalidArg for objects that are not its own.
#pragma once

#include <memory>

#include "capture/platform/types.h"

namespace tarvix::capture::platform {

class Texture {
 public:
  virtual ~Texture() = default;
  // The description the texture was made with (GetDesc). Cannot fail.
  virtual TextureDesc desc() const = 0;
};

// The capture service's view of a device (IDirect3DDevice): only passed back
// to the frame pool.
class CaptureDevice {
 public:
  virtual ~CaptureDevice() = default;
};

class DeviceContext {
 public:
  virtual ~DeviceContext() = default;
  // Copies the whole of `source` into `destination` (CopyResource). Like the
  // real call it reports nothing; mismatched textures copy nothing.
  virtual void copy_resource(Texture& destination, Texture& source) = 0;
  // Maps one subresource of a staging texture for the processor. Fails with
  // the platform's code (for example when the texture is not mappable).
  virtual PlatformResult<MappedSubresource> map(Texture& texture, std::uint32_t subresource,
                                                std::uint32_t map_type, std::uint32_t flags) = 0;
  virtual void unmap(Texture& texture, std::uint32_t subresource) = 0;
};

class Device {
 public:
  virtual ~Device() = default;
  // CreateTexture2D with no initial data. Success with a null pointer is
  // possible and means the platform made nothing.
  virtual PlatformResult<std::shared_ptr<Texture>> create_texture_2d(const TextureDesc& desc) = 0;
  // Wraps this device for the capture service (IDXGIDevice ->
  // CreateDirect3D11DeviceFromDXGIDevice -> IDirect3DDevice). Success with a
  // null pointer means the platform returned no device.
  virtual PlatformResult<std::shared_ptr<CaptureDevice>> create_capture_device() = 0;
};

// What D3D11CreateDevice hands back. Either pointer may be null on success.
struct DeviceCreation {
  std::shared_ptr<Device> device;
  FeatureLevel level = FeatureLevel::Level9_1;
  std::shared_ptr<DeviceContext> context;
};

}  // namespace tarvix::capture::platform
