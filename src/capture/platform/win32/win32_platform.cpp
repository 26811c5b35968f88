#include "capture/platform/win32/win32_platform.h"

#include <windows.h>

#include <objbase.h>
#include <roapi.h>

#include <new>

#include "capture/platform/win32/abi_conversions.h"
#include "capture/platform/win32/api_information.h"
#include "capture/platform/win32/capture_item.h"
#include "capture/platform/win32/d3d_graphics.h"
#include "capture/platform/win32/dispatcher_queue.h"
#include "capture/platform/win32/frame_pool.h"
#include "capture/platform/win32/hresult_error.h"

namespace tarvix::capture::platform {

// Never destroyed: capture threads of outputs still running at exit keep
// using it while static destructors run.
Platform& default_platform() {
  alignas(win32::Win32Platform) static unsigned char storage[sizeof(win32::Win32Platform)];
  static win32::Win32Platform* platform = ::new (storage) win32::Win32Platform();
  return *platform;
}

}  // namespace tarvix::capture::platform

namespace tarvix::capture::platform::win32 {

PlatformResult<MtaCookie> Win32Platform::increment_mta_usage() {
  CO_MTA_USAGE_COOKIE cookie = nullptr;
  if (const HRESULT hr = CoIncrementMTAUsage(&cookie); FAILED(hr)) return Err{error_from(hr)};
  return reinterpret_cast<MtaCookie>(cookie);
}

PlatformResult<void> Win32Platform::decrement_mta_usage(MtaCookie cookie) {
  const HRESULT hr = CoDecrementMTAUsage(reinterpret_cast<CO_MTA_USAGE_COOKIE>(cookie));
  if (FAILED(hr)) return Err{error_from(hr)};
  return {};
}

PlatformResult<void> Win32Platform::initialize_runtime() {
  if (const HRESULT hr = RoInitialize(RO_INIT_MULTITHREADED); FAILED(hr)) {
    return Err{error_from(hr)};
  }
  return {};
}

void Win32Platform::uninitialize_runtime() {
  RoUninitialize();
}

PlatformResult<std::shared_ptr<DispatcherQueueController>>
Win32Platform::create_dispatcher_queue_controller() {
  return create_current_thread_queue();
}

PlatformResult<bool> Win32Platform::is_api_contract_present(std::string_view contract,
                                                            std::uint16_t major) {
  return api_contract_present(contract, major);
}

PlatformResult<bool> Win32Platform::is_property_present(std::string_view type,
                                                        std::string_view property) {
  return property_present(type, property);
}

PlatformResult<bool> Win32Platform::is_capture_supported() {
  return capture_supported();
}

PlatformResult<DeviceCreation> Win32Platform::create_device(std::span<const FeatureLevel> levels,
                                                            std::uint32_t flags) {
  return create_d3d11_device(levels, flags);
}

PlatformResult<std::shared_ptr<CaptureItem>> Win32Platform::create_item_for_window(
    WindowHandle window) {
  return create_item_for_hwnd(to_hwnd(window));
}

PlatformResult<std::shared_ptr<FramePool>> Win32Platform::create_frame_pool(CaptureDevice& device,
                                                                            PixelFormat format,
                                                                            std::int32_t buffers,
                                                                            SizeInt32 size) {
  return create_win32_frame_pool(device, format, buffers, size);
}

}  // namespace tarvix::capture::platform::win32
