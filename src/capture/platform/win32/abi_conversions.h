// Plain conversions between the platform interface's values and their
// Windows ABI forms.
#pragma once

#include <windows.h>

#include <d3d11.h>

#include <span>
#include <vector>

#include "capture/platform/types.h"
#include "capture/platform/win32/winrt_abi.h"

namespace tarvix::capture::platform::win32 {

D3D11_TEXTURE2D_DESC to_d3d(const TextureDesc& desc);
TextureDesc from_d3d(const D3D11_TEXTURE2D_DESC& desc);

std::vector<D3D_FEATURE_LEVEL> to_d3d(std::span<const FeatureLevel> levels);
FeatureLevel from_d3d(D3D_FEATURE_LEVEL level);

constexpr abi::SizeInt32 to_abi(SizeInt32 size) {
  return {size.width, size.height};
}
constexpr SizeInt32 from_abi(abi::SizeInt32 size) {
  return {size.Width, size.Height};
}
constexpr abi::Boolean to_abi(bool value) {
  return value ? 1 : 0;
}
constexpr abi::TimeSpan to_abi(TimeSpanTicks ticks) {
  return abi::TimeSpan{ticks};
}
constexpr abi::GraphicsCaptureDirtyRegionMode to_abi(DirtyRegionMode mode) {
  return static_cast<abi::GraphicsCaptureDirtyRegionMode>(static_cast<INT32>(mode));
}

// A dispatcher queue on the calling thread, leaving its apartment alone.
constexpr abi::DispatcherQueueOptions current_thread_queue_options() {
  return {sizeof(abi::DispatcherQueueOptions), abi::kDispatcherQueueThreadCurrent,
          abi::kDispatcherQueueComNone};
}

// The window handle the interface carries as 64 bits.
inline HWND to_hwnd(WindowHandle window) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
}

inline Rect from_win32(const RECT& rect) {
  return {static_cast<std::int32_t>(rect.left), static_cast<std::int32_t>(rect.top),
          static_cast<std::int32_t>(rect.right), static_cast<std::int32_t>(rect.bottom)};
}

// A thread message in both forms. The time and cursor position of a MSG are
// not carried: dispatching happens right after retrieval, on the same thread,
// where GetMessageTime and GetMessagePos still give them.
Message from_win32(const MSG& msg);
MSG to_win32(const Message& message);

}  // namespace tarvix::capture::platform::win32
