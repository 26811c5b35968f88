// Window geometry on Windows: DWM's frame bounds, the client rectangle and
// the window's dpi, and both rectangles in one unit.
#include <windows.h>

#include <dwmapi.h>

#include "capture/platform/win32/abi_conversions.h"
#include "capture/platform/win32/hresult_error.h"
#include "capture/platform/win32/win32_platform.h"

namespace tarvix::capture::platform::win32 {

PlatformResult<Rect> Win32Platform::extended_frame_bounds(WindowHandle window) {
  RECT bounds{};
  const HRESULT hr =
      DwmGetWindowAttribute(to_hwnd(window), DWMWA_EXTENDED_FRAME_BOUNDS, &bounds, sizeof bounds);
  if (FAILED(hr)) return Err{error_from(hr)};
  return from_win32(bounds);
}

PlatformResult<Rect> Win32Platform::client_rect(WindowHandle window) {
  RECT client{};
  if (!GetClientRect(to_hwnd(window), &client)) return Err{last_error()};
  return from_win32(client);
}

std::uint32_t Win32Platform::dpi_for_window(WindowHandle window) {
  return GetDpiForWindow(to_hwnd(window));
}

namespace {

// Per-monitor aware for one scope, so the client rectangle comes in the
// physical pixels the frame bounds always use. V2 needs 1703; 1607 has V1.
class PerMonitorDpi {
 public:
  PerMonitorDpi() {
    previous_ = SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    if (!previous_)
      previous_ = SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
  }
  ~PerMonitorDpi() {
    if (previous_) SetThreadDpiAwarenessContext(previous_);
  }
  PerMonitorDpi(const PerMonitorDpi&) = delete;
  PerMonitorDpi& operator=(const PerMonitorDpi&) = delete;

 private:
  DPI_AWARENESS_CONTEXT previous_ = nullptr;
};

}  // namespace

PlatformResult<WindowMetrics> Win32Platform::window_metrics(WindowHandle window) {
  PerMonitorDpi physical;
  auto frame = extended_frame_bounds(window);
  if (!frame) return Err{std::move(frame).error()};
  auto client = client_rect(window);
  if (!client) return Err{std::move(client).error()};
  return WindowMetrics{frame.value(), std::int64_t{client->bottom} - client->top};
}

}  // namespace tarvix::capture::platform::win32
