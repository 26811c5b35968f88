#include "capture/platform/x11/x11_platform.h"

#include <array>
#include <new>

#include "capture/platform/x11/window_geometry.h"
#include "capture/platform/x11/window_info.h"
#include "capture/platform/x11/x11_capture_item.h"
#include "capture/platform/x11/x11_frame_pool.h"
#include "capture/platform/x11/x11_graphics.h"

namespace tarvix::capture::platform {

// Never destroyed: capture threads of outputs still running at exit keep
// using it while static destructors run.
Platform& default_platform() {
  alignas(x11::X11Platform) static unsigned char storage[sizeof(x11::X11Platform)];
  static x11::X11Platform* platform = ::new (storage) x11::X11Platform();
  return *platform;
}

}  // namespace tarvix::capture::platform

namespace tarvix::capture::platform::x11 {

namespace {

constexpr std::array<std::string_view, 5> kSessionProperties{
    "IsCursorCaptureEnabled", "IsBorderRequired", "IncludeSecondaryWindows", "MinUpdateInterval",
    "DirtyRegionMode"};

struct WindowPlacementAt {
  Placement placement;
  std::uint32_t dpi = kDefaultDpi;
};

PlatformResult<WindowPlacementAt> locate(WindowHandle handle) {
  auto window = window_from_handle(handle);
  if (!window) return Err{window.error()};
  auto connection = XConnection::for_current_thread();
  if (!connection) return Err{connection.error()};
  auto placement = window_placement(*connection.value(), window.value());
  if (!placement) return Err{placement.error()};
  return WindowPlacementAt{placement.value(), screen_dpi(*connection.value())};
}

}  // namespace

PlatformResult<bool> X11Platform::is_api_contract_present(std::string_view contract,
                                                          std::uint16_t /*major*/) {
  return contract == kUniversalApiContract;
}

PlatformResult<bool> X11Platform::is_property_present(std::string_view type,
                                                      std::string_view property) {
  if (type != kCaptureSessionType) return false;
  for (auto name : kSessionProperties) {
    if (name == property) return true;
  }
  return false;
}

PlatformResult<DeviceCreation> X11Platform::create_device(std::span<const FeatureLevel> levels,
                                                          std::uint32_t /*flags*/) {
  return create_x11_device(levels);
}

PlatformResult<std::shared_ptr<CaptureItem>> X11Platform::create_item_for_window(
    WindowHandle window) {
  auto connection = XConnection::for_current_thread();
  if (!connection) return Err{connection.error()};
  auto info = inspect_window(*connection.value(), window);
  if (!info) return Err{info.error()};
  return std::shared_ptr<CaptureItem>(
      std::make_shared<X11CaptureItem>(connection.value(), info.value()));
}

PlatformResult<std::shared_ptr<FramePool>> X11Platform::create_frame_pool(CaptureDevice& device,
                                                                          PixelFormat format,
                                                                          std::int32_t buffers,
                                                                          SizeInt32 size) {
  auto* x11_device = dynamic_cast<X11CaptureDevice*>(&device);
  if (!x11_device) return Err{PlatformError{kInvalidArg, "not a capture device of this platform"}};
  if (auto checked = check_pool_arguments(format, buffers, size); !checked) {
    return Err{checked.error()};
  }
  auto queue = portable::DispatcherQueue::for_current_thread();
  if (!queue) return Err{PlatformError{kIllegalCall, "the thread has no dispatcher queue"}};
  return std::shared_ptr<FramePool>(
      std::make_shared<X11FramePool>(x11_device->connection(), std::move(queue), format, size));
}

PlatformResult<Rect> X11Platform::extended_frame_bounds(WindowHandle window) {
  auto at = locate(window);
  if (!at) return Err{at.error()};
  return frame_bounds(at.value().placement, at.value().dpi);
}

PlatformResult<Rect> X11Platform::client_rect(WindowHandle window) {
  auto at = locate(window);
  if (!at) return Err{at.error()};
  return x11::client_rect(at.value().placement, at.value().dpi);
}

std::uint32_t X11Platform::dpi_for_window(WindowHandle window) {
  auto at = locate(window);
  return at ? at.value().dpi : 0;
}

}  // namespace tarvix::capture::platform::x11
