// The capture item of a window (GraphicsCaptureItem).
#pragma once

#include "capture/platform/capture_service.h"
#include "capture/platform/win32/com_ptr.h"
#include "capture/platform/win32/winrt_abi.h"

namespace tarvix::capture::platform::win32 {

class Win32CaptureItem final : public CaptureItem {
 public:
  explicit Win32CaptureItem(ComPtr<abi::IGraphicsCaptureItem> item) : item_(std::move(item)) {}
  PlatformResult<SizeInt32> size() override;
  PlatformResult<EventToken> add_closed(ClosedHandler handler) override;
  PlatformResult<void> remove_closed(EventToken token) override;
  abi::IGraphicsCaptureItem* get() const { return item_.get(); }

 private:
  ComPtr<abi::IGraphicsCaptureItem> item_;
};

// IGraphicsCaptureItemInterop.CreateForWindow.
PlatformResult<std::shared_ptr<CaptureItem>> create_item_for_hwnd(HWND window);

}  // namespace tarvix::capture::platform::win32
