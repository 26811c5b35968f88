#include "capture/platform/win32/d3d_graphics.h"

#include "capture/platform/win32/abi_conversions.h"
#include "capture/platform/win32/hresult_error.h"
#include "capture/platform/win32/system_library.h"

namespace tarvix::capture::platform::win32 {
namespace {

ID3D11Texture2D* native(Texture& texture) {
  auto* own = dynamic_cast<Win32Texture*>(&texture);
  return own ? own->get() : nullptr;
}

PlatformError not_ours() {
  return PlatformError{kInvalidArg, "not a texture of this platform"};
}

// Resolved at run time: not every d3d11.dll exports it. The DLL itself stays
// loaded after `library` goes, as the module imports D3D11CreateDevice.
PlatformResult<ComPtr<IInspectable>> wrap_dxgi_device(IDXGIDevice* dxgi) {
  auto library = SystemLibrary::load(L"d3d11.dll");
  if (!library) return Err{std::move(library).error()};
  auto create = library.value()->function<abi::CreateDirect3D11DeviceFromDxgiDeviceFunction>(
      "CreateDirect3D11DeviceFromDXGIDevice");
  if (!create) return Err{std::move(create).error()};
  ComPtr<IInspectable> wrapped;
  const HRESULT hr = create.value()(dxgi, wrapped.put());
  if (FAILED(hr)) return Err{error_from(hr)};
  return wrapped;
}

}  // namespace

TextureDesc Win32Texture::desc() const {
  D3D11_TEXTURE2D_DESC desc{};
  texture_->GetDesc(&desc);
  return from_d3d(desc);
}

void Win32DeviceContext::copy_resource(Texture& destination, Texture& source) {
  ID3D11Texture2D* to = native(destination);
  ID3D11Texture2D* from = native(source);
  // Like the real call, a copy between unusable textures does nothing.
  if (to && from) context_->CopyResource(to, from);
}

PlatformResult<MappedSubresource> Win32DeviceContext::map(Texture& texture,
                                                          std::uint32_t subresource,
                                                          std::uint32_t map_type,
                                                          std::uint32_t flags) {
  ID3D11Texture2D* target = native(texture);
  if (!target) return Err{not_ours()};
  D3D11_MAPPED_SUBRESOURCE mapped{};
  const HRESULT hr =
      context_->Map(target, subresource, static_cast<D3D11_MAP>(map_type), flags, &mapped);
  if (FAILED(hr)) return Err{error_from(hr)};
  return MappedSubresource{static_cast<std::uint8_t*>(mapped.pData), mapped.RowPitch,
                           mapped.DepthPitch};
}

void Win32DeviceContext::unmap(Texture& texture, std::uint32_t subresource) {
  if (ID3D11Texture2D* target = native(texture)) context_->Unmap(target, subresource);
}

PlatformResult<std::shared_ptr<Texture>> Win32Device::create_texture_2d(const TextureDesc& desc) {
  const D3D11_TEXTURE2D_DESC d3d_desc = to_d3d(desc);
  ComPtr<ID3D11Texture2D> texture;
  const HRESULT hr = device_->CreateTexture2D(&d3d_desc, nullptr, texture.put());
  if (FAILED(hr)) return Err{error_from(hr)};
  if (!texture) return std::shared_ptr<Texture>();
  return std::shared_ptr<Texture>(std::make_shared<Win32Texture>(std::move(texture)));
}

PlatformResult<std::shared_ptr<CaptureDevice>> Win32Device::create_capture_device() {
  ComPtr<IDXGIDevice> dxgi;
  if (const HRESULT hr = device_.query(abi::kIidDxgiDevice, dxgi); FAILED(hr)) {
    return Err{error_from(hr)};
  }
  auto wrapped = wrap_dxgi_device(dxgi.get());
  if (!wrapped) return Err{std::move(wrapped).error()};
  if (!wrapped.value()) return std::shared_ptr<CaptureDevice>();
  ComPtr<abi::IDirect3DDevice> device;
  if (const HRESULT hr = wrapped.value().query(abi::kIidDirect3DDevice, device); FAILED(hr)) {
    return Err{error_from(hr)};
  }
  if (!device) return std::shared_ptr<CaptureDevice>();
  return std::shared_ptr<CaptureDevice>(std::make_shared<Win32CaptureDevice>(std::move(device)));
}

PlatformResult<DeviceCreation> create_d3d11_device(std::span<const FeatureLevel> levels,
                                                   std::uint32_t flags) {
  const std::vector<D3D_FEATURE_LEVEL> wanted = to_d3d(levels);
  ComPtr<ID3D11Device> device;
  ComPtr<ID3D11DeviceContext> context;
  D3D_FEATURE_LEVEL reached{};
  const HRESULT hr = D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, flags,
                                       wanted.data(), static_cast<UINT>(wanted.size()),
                                       D3D11_SDK_VERSION, device.put(), &reached, context.put());
  if (FAILED(hr)) return Err{error_from(hr)};
  DeviceCreation made;
  made.level = from_d3d(reached);
  if (device) made.device = std::make_shared<Win32Device>(std::move(device));
  if (context) made.context = std::make_shared<Win32DeviceContext>(std::move(context));
  return made;
}

}  // namespace tarvix::capture::platform::win32
