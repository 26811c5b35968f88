// Failures of building and starting a capture session.
#pragma once

#include <string>

#include "capture/device_error.h"
#include "capture/platform/platform_error.h"
#include "capture/window_error.h"

namespace tarvix::capture {

struct CaptureServiceError {
  enum class Kind {
    Unsupported,
    CursorUnsupported,
    BorderUnsupported,
    SecondaryWindowsUnsupported,
    MinUpdateIntervalUnsupported,
    DirtyRegionUnsupported,
    AlreadyStarted,
    DeviceFailed,
    WindowFailed,
    PlatformFailed,
  };

  Kind kind = Kind::PlatformFailed;
  DeviceError device;                // DeviceFailed
  WindowError window;                // WindowFailed
  platform::PlatformError platform;  // PlatformFailed

  static CaptureServiceError of(Kind kind) { return {kind, {}, {}, {}}; }
  static CaptureServiceError device_failed(DeviceError error) {
    return {Kind::DeviceFailed, std::move(error), {}, {}};
  }
  static CaptureServiceError window_failed(WindowError error) {
    return {Kind::WindowFailed, {}, std::move(error), {}};
  }
  static CaptureServiceError platform_failed(platform::PlatformError error) {
    return {Kind::PlatformFailed, {}, {}, std::move(error)};
  }
};

std::string display(const CaptureServiceError& error);

}  // namespace tarvix::capture
