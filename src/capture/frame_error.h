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

// The platform could not read this frame whole: skip it, it is no failure.
inline bool frame_not_ready(const FrameError& error) {
  return error.kind == FrameError::Kind::WindowsError &&
         error.platform.code == platform::kFrameNotReady;
}

}  // namespace tarvix::capture
