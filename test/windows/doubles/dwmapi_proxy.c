/* dwmapi.dll for Wine: every export forwards to Wine's own dwmapi, installed
 * beside it as dwmapi_wine.dll, except DwmGetWindowAttribute, which answers
 * DWMWA_EXTENDED_FRAME_BOUNDS (Wine's says E_NOTIMPL) with the window
 * rectangle, logging the calling thread's DPI awareness (2: per monitor).
 * Assumption: no DPI virtualisation, so that rectangle is already in
 * physical pixels. */
#include "double_support.h"

#define EXTENDED_FRAME_BOUNDS 9

typedef HRESULT(WINAPI* GetAttribute)(HWND, DWORD, void*, DWORD);

/* Threads start DPI unaware, as in a process without a manifest saying
 * otherwise on Windows (Wine makes them per-monitor aware). */
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved) {
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH || reason == DLL_THREAD_ATTACH)
    SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_UNAWARE);
  return TRUE;
}

HRESULT WINAPI DwmGetWindowAttribute(HWND window, DWORD attribute, void* value, DWORD size) {
  if (attribute != EXTENDED_FRAME_BOUNDS) {
    HMODULE wine = LoadLibraryW(L"dwmapi_wine.dll");
    GetAttribute original =
        wine ? (GetAttribute)(void (*)(void))GetProcAddress(wine, "DwmGetWindowAttribute") : NULL;
    return original ? original(window, attribute, value, size) : E_NOTIMPL;
  }
  HRESULT hr = scripted("DwmGetWindowAttribute");
  log_call("dwm.DwmGetWindowAttribute extended frame bounds awareness=%d",
           (int)GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()));
  if (FAILED(hr)) return hr;
  if (size != sizeof(RECT) || !value) return E_INVALIDARG;
  return GetWindowRect(window, value) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}
