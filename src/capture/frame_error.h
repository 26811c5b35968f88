// Failures of reading a captured frame back into processor memory.
#pragma once

#include <string>

#include "capture/device_error.h"
#include "capture/platform/platform_error.h"

namespace tarvix::capture {

struct FrameError {
  enum class Kind { DirectXError, WindowsError };

  Kind kind = Kind::WindowsError;
  DeviceError device;                // DirectXError
  platform::PlatformError platform;  // WindowsError

  static FrameError directx(DeviceError error) {
    return {Kind::DirectXError, std::move(error), {}};
  }
  static FrameError windows(platform::PlatformError error) {
    return {Kind::WindowsError, {}, std::move(error)};
  }
};

std::string display(const FrameError& error);

}  // namespace tarvix::capture
