#include "capture/platform/win32/frame_pool.h"

#include "capture/platform/win32/abi_conversions.h"
#include "capture/platform/win32/capture_item.h"
#include "capture/platform/win32/d3d_graphics.h"
#include "capture/platform/win32/event_delegates.h"
#include "capture/platform/win32/hresult_error.h"
#include "capture/platform/win32/runtime_class.h"
#include "capture/platform/win32/service_session.h"

namespace tarvix::capture::platform::win32 {
namespace {

PlatformResult<abi::IDirect3DDevice*> native(CaptureDevice& device) {
  auto* own = dynamic_cast<Win32CaptureDevice*>(&device);
  if (!own) return Err{PlatformError{kInvalidArg, "not a capture device of this platform"}};
  return own->get();
}

PlatformResult<void> checked(HRESULT hr) {
  if (FAILED(hr)) return Err{error_from(hr)};
  return {};
}

}  // namespace

PlatformResult<SizeInt32> Win32Frame::content_size() {
  abi::SizeInt32 size{};
  if (const HRESULT hr = frame_->get_ContentSize(&size); FAILED(hr)) return Err{error_from(hr)};
  return from_abi(size);
}

PlatformResult<std::shared_ptr<Texture>> Win32Frame::texture() {
  ComPtr<abi::IDirect3DSurface> surface;
  if (const HRESULT hr = frame_->get_Surface(surface.put()); FAILED(hr)) {
    return Err{error_from(hr)};
  }
  ComPtr<abi::IDirect3DDxgiInterfaceAccess> access;
  if (const HRESULT hr = surface.query(abi::kIidDxgiInterfaceAccess, access); FAILED(hr)) {
    return Err{error_from(hr)};
  }
  ComPtr<ID3D11Texture2D> texture;
  if (const HRESULT hr = access->GetInterface(abi::kIidD3D11Texture2D, texture.put_void());
      FAILED(hr)) {
    return Err{error_from(hr)};
  }
  if (!texture) return std::shared_ptr<Texture>();
  return std::shared_ptr<Texture>(std::make_shared<Win32Texture>(std::move(texture)));
}

PlatformResult<void> Win32FramePool::recreate(CaptureDevice& device, PixelFormat format,
                                              std::int32_t buffers, SizeInt32 size) {
  auto capture_device = native(device);
  if (!capture_device) return Err{std::move(capture_device).error()};
  return checked(pool_->Recreate(
      capture_device.value(), static_cast<abi::DirectXPixelFormat>(format), buffers, to_abi(size)));
}

PlatformResult<std::shared_ptr<Frame>> Win32FramePool::try_get_next_frame() {
  ComPtr<abi::IDirect3D11CaptureFrame> frame;
  if (const HRESULT hr = pool_->TryGetNextFrame(frame.put()); FAILED(hr)) {
    return Err{error_from(hr)};
  }
  if (!frame) return std::shared_ptr<Frame>();
  return std::shared_ptr<Frame>(std::make_shared<Win32Frame>(std::move(frame)));
}

PlatformResult<std::shared_ptr<ServiceSession>> Win32FramePool::create_capture_session(
    CaptureItem& item) {
  auto* own = dynamic_cast<Win32CaptureItem*>(&item);
  if (!own) return Err{PlatformError{kInvalidArg, "not a capture item of this platform"}};
  ComPtr<abi::IGraphicsCaptureSession> session;
  if (const HRESULT hr = pool_->CreateCaptureSession(own->get(), session.put()); FAILED(hr)) {
    return Err{error_from(hr)};
  }
  if (!session) return std::shared_ptr<ServiceSession>();
  return std::shared_ptr<ServiceSession>(std::make_shared<Win32ServiceSession>(std::move(session)));
}

PlatformResult<EventToken> Win32FramePool::add_frame_arrived(FrameArrivedHandler handler) {
  auto delegate = make_frame_arrived_delegate(std::move(handler));
  if (!delegate) return Err{std::move(delegate).error()};
  EventRegistrationToken token{};
  if (const HRESULT hr = pool_->add_FrameArrived(delegate.value().get(), &token); FAILED(hr)) {
    return Err{error_from(hr)};
  }
  return EventToken{token.value};
}

PlatformResult<void> Win32FramePool::remove_frame_arrived(EventToken token) {
  return checked(pool_->remove_FrameArrived(EventRegistrationToken{token}));
}

PlatformResult<void> Win32FramePool::close() {
  return close_object(pool_.get());
}

PlatformResult<std::shared_ptr<FramePool>> create_win32_frame_pool(CaptureDevice& device,
                                                                   PixelFormat format,
                                                                   std::int32_t buffers,
                                                                   SizeInt32 size) {
  auto capture_device = native(device);
  if (!capture_device) return Err{std::move(capture_device).error()};
  auto statics = activation_factory<abi::IDirect3D11CaptureFramePoolStatics>(
      abi::kClassFramePool, abi::kIidFramePoolStatics);
  if (!statics) return Err{std::move(statics).error()};
  ComPtr<abi::IDirect3D11CaptureFramePool> pool;
  const HRESULT hr =
      statics.value()->Create(capture_device.value(), static_cast<abi::DirectXPixelFormat>(format),
                              buffers, to_abi(size), pool.put());
  if (FAILED(hr)) return Err{error_from(hr)};
  if (!pool) return std::shared_ptr<FramePool>();
  return std::shared_ptr<FramePool>(std::make_shared<Win32FramePool>(std::move(pool)));
}

PlatformResult<void> close_object(IUnknown* object) {
  if (object == nullptr) return {};
  ComPtr<abi::IClosable> closable;
  if (const HRESULT hr = object->QueryInterface(abi::kIidClosable, closable.put_void());
      FAILED(hr)) {
    return Err{error_from(hr)};
  }
  return checked(closable->Close());
}

}  // namespace tarvix::capture::platform::win32
