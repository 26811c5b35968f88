#include "capture/platform/win32/capture_item.h"

#include "capture/platform/win32/abi_conversions.h"
#include "capture/platform/win32/event_delegates.h"
#include "capture/platform/win32/hresult_error.h"
#include "capture/platform/win32/runtime_class.h"

namespace tarvix::capture::platform::win32 {

PlatformResult<SizeInt32> Win32CaptureItem::size() {
  abi::SizeInt32 size{};
  if (const HRESULT hr = item_->get_Size(&size); FAILED(hr)) return Err{error_from(hr)};
  return from_abi(size);
}

PlatformResult<EventToken> Win32CaptureItem::add_closed(ClosedHandler handler) {
  auto delegate = make_item_closed_delegate(std::move(handler));
  if (!delegate) return Err{std::move(delegate).error()};
  EventRegistrationToken token{};
  if (const HRESULT hr = item_->add_Closed(delegate.value().get(), &token); FAILED(hr)) {
    return Err{error_from(hr)};
  }
  return EventToken{token.value};
}

PlatformResult<void> Win32CaptureItem::remove_closed(EventToken token) {
  if (const HRESULT hr = item_->remove_Closed(EventRegistrationToken{token}); FAILED(hr)) {
    return Err{error_from(hr)};
  }
  return {};
}

PlatformResult<std::shared_ptr<CaptureItem>> create_item_for_hwnd(HWND window) {
  auto interop = activation_factory<abi::IGraphicsCaptureItemInterop>(
      abi::kClassCaptureItem, abi::kIidGraphicsCaptureItemInterop);
  if (!interop) return Err{std::move(interop).error()};
  ComPtr<abi::IGraphicsCaptureItem> item;
  const HRESULT hr =
      interop.value()->CreateForWindow(window, abi::kIidGraphicsCaptureItem, item.put_void());
  if (FAILED(hr)) return Err{error_from(hr)};
  if (!item) return std::shared_ptr<CaptureItem>();
  return std::shared_ptr<CaptureItem>(std::make_shared<Win32CaptureItem>(std::move(item)));
}

}  // namespace tarvix::capture::platform::win32
