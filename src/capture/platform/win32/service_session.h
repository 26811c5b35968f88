// The capture service's session (GraphicsCaptureSession). Each optional
// property lives on its own later interface, asked for when it is set.
#pragma once

#include "capture/platform/capture_service.h"
#include "capture/platform/win32/com_ptr.h"
#include "capture/platform/win32/winrt_abi.h"

namespace tarvix::capture::platform::win32 {

class Win32ServiceSession final : public ServiceSession {
 public:
  explicit Win32ServiceSession(ComPtr<abi::IGraphicsCaptureSession> session)
      : session_(std::move(session)) {}
  PlatformResult<void> start_capture() override;
  PlatformResult<void> set_cursor_capture_enabled(bool enabled) override;
  PlatformResult<void> set_border_required(bool required) override;
  PlatformResult<void> set_include_secondary_windows(bool include) override;
  PlatformResult<void> set_min_update_interval(TimeSpanTicks interval) override;
  PlatformResult<void> set_dirty_region_mode(DirtyRegionMode mode) override;
  PlatformResult<void> close() override;

 private:
  // Queries the session for `Interface` and calls `set` on it.
  template <class Interface, class Setter>
  PlatformResult<void> set_on(const GUID& iid, Setter set);

  ComPtr<abi::IGraphicsCaptureSession> session_;
};

}  // namespace tarvix::capture::platform::win32
