// Direct3D 11 behind the platform's graphics objects, and the capture
// service's view of the device.
#pragma once

#include <windows.h>

#include <d3d11.h>

#include <span>

#include "capture/platform/graphics.h"
#include "capture/platform/win32/com_ptr.h"
#include "capture/platform/win32/winrt_abi.h"

namespace tarvix::capture::platform::win32 {

class Win32Texture final : public Texture {
 public:
  explicit Win32Texture(ComPtr<ID3D11Texture2D> texture) : texture_(std::move(texture)) {}
  TextureDesc desc() const override;
  ID3D11Texture2D* get() const { return texture_.get(); }

 private:
  ComPtr<ID3D11Texture2D> texture_;
};

class Win32CaptureDevice final : public CaptureDevice {
 public:
  explicit Win32CaptureDevice(ComPtr<abi::IDirect3DDevice> device) : device_(std::move(device)) {}
  abi::IDirect3DDevice* get() const { return device_.get(); }

 private:
  ComPtr<abi::IDirect3DDevice> device_;
};

class Win32DeviceContext final : public DeviceContext {
 public:
  explicit Win32DeviceContext(ComPtr<ID3D11DeviceContext> context) : context_(std::move(context)) {}
  void copy_resource(Texture& destination, Texture& source) override;
  PlatformResult<MappedSubresource> map(Texture& texture, std::uint32_t subresource,
                                        std::uint32_t map_type, std::uint32_t flags) override;
  void unmap(Texture& texture, std::uint32_t subresource) override;

 private:
  ComPtr<ID3D11DeviceContext> context_;
};

class Win32Device final : public Device {
 public:
  explicit Win32Device(ComPtr<ID3D11Device> device) : device_(std::move(device)) {}
  PlatformResult<std::shared_ptr<Texture>> create_texture_2d(const TextureDesc& desc) override;
  PlatformResult<std::shared_ptr<CaptureDevice>> create_capture_device() override;

 private:
  ComPtr<ID3D11Device> device_;
};

// D3D11CreateDevice on the default hardware adapter.
PlatformResult<DeviceCreation> create_d3d11_device(std::span<const FeatureLevel> levels,
                                                   std::uint32_t flags);

}  // namespace tarvix::capture::platform::win32
