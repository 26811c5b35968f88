// The platform on Linux: real X11 windows through xcb, on the portable
// thread messages and dispatcher queue.
#pragma once

#include "capture/platform/portable/portable_platform.h"

namespace tarvix::capture::platform::x11 {

class X11Platform final : public portable::PortablePlatform {
 public:
  // Nothing here needs a platform check: every capture option is accepted
  // (see X11ServiceSession) and the service is whatever the X server offers.
  PlatformResult<bool> is_api_contract_present(std::string_view contract,
                                               std::uint16_t major) override;
  PlatformResult<bool> is_property_present(std::string_view type,
                                           std::string_view property) override;
  PlatformResult<bool> is_capture_supported() override { return true; }

  PlatformResult<DeviceCreation> create_device(std::span<const FeatureLevel> levels,
                                               std::uint32_t flags) override;
  PlatformResult<std::shared_ptr<CaptureItem>> create_item_for_window(WindowHandle window) override;
  PlatformResult<std::shared_ptr<FramePool>> create_frame_pool(CaptureDevice& device,
                                                               PixelFormat format,
                                                               std::int32_t buffers,
                                                               SizeInt32 size) override;

  PlatformResult<Rect> extended_frame_bounds(WindowHandle window) override;
  PlatformResult<Rect> client_rect(WindowHandle window) override;
  std::uint32_t dpi_for_window(WindowHandle window) override;
};

}  // namespace tarvix::capture::platform::x11
