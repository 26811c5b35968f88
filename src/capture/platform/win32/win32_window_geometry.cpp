// Window geometry on Windows: DWM's frame bounds, the client rectangle and
// the window's dpi.
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

}  // namespace tarvix::capture::platform::win32
