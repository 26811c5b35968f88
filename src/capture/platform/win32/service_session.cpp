#include "capture/platform/win32/service_session.h"

#include "capture/platform/win32/abi_conversions.h"
#include "capture/platform/win32/frame_pool.h"
#include "capture/platform/win32/hresult_error.h"

namespace tarvix::capture::platform::win32 {

template <class Interface, class Setter>
PlatformResult<void> Win32ServiceSession::set_on(const GUID& iid, Setter set) {
  ComPtr<Interface> facet;
  if (const HRESULT hr = session_.query(iid, facet); FAILED(hr)) return Err{error_from(hr)};
  if (const HRESULT hr = set(*facet.get()); FAILED(hr)) return Err{error_from(hr)};
  return {};
}

PlatformResult<void> Win32ServiceSession::start_capture() {
  if (const HRESULT hr = session_->StartCapture(); FAILED(hr)) return Err{error_from(hr)};
  return {};
}

PlatformResult<void> Win32ServiceSession::set_cursor_capture_enabled(bool enabled) {
  return set_on<abi::IGraphicsCaptureSession2>(
      abi::kIidCaptureSession2, [&](abi::IGraphicsCaptureSession2& s) {
        return s.put_IsCursorCaptureEnabled(to_abi(enabled));
      });
}

PlatformResult<void> Win32ServiceSession::set_border_required(bool required) {
  return set_on<abi::IGraphicsCaptureSession3>(
      abi::kIidCaptureSession3,
      [&](abi::IGraphicsCaptureSession3& s) { return s.put_IsBorderRequired(to_abi(required)); });
}

PlatformResult<void> Win32ServiceSession::set_include_secondary_windows(bool include) {
  return set_on<abi::IGraphicsCaptureSession6>(
      abi::kIidCaptureSession6, [&](abi::IGraphicsCaptureSession6& s) {
        return s.put_IncludeSecondaryWindows(to_abi(include));
      });
}

PlatformResult<void> Win32ServiceSession::set_min_update_interval(TimeSpanTicks interval) {
  return set_on<abi::IGraphicsCaptureSession5>(
      abi::kIidCaptureSession5,
      [&](abi::IGraphicsCaptureSession5& s) { return s.put_MinUpdateInterval(to_abi(interval)); });
}

PlatformResult<void> Win32ServiceSession::set_dirty_region_mode(DirtyRegionMode mode) {
  return set_on<abi::IGraphicsCaptureSession4>(
      abi::kIidCaptureSession4,
      [&](abi::IGraphicsCaptureSession4& s) { return s.put_DirtyRegionMode(to_abi(mode)); });
}

PlatformResult<void> Win32ServiceSession::close() {
  return close_object(session_.get());
}

}  // namespace tarvix::capture::platform::win32
