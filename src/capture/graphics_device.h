// The capture's Direct3D device and its immediate context.
#pragma once

#include <memory>

#include "capture/device_error.h"
#include "capture/platform/platform.h"
#include "support/result.h"

namespace tarvix::capture {

struct GraphicsDevice {
  std::shared_ptr<platform::Device> device;
  std::shared_ptr<platform::DeviceContext> context;
};

// A hardware device with BGRA support at feature level 11_0 or better.
Result<GraphicsDevice, DeviceError> create_graphics_device(platform::Platform& platform);

}  // namespace tarvix::capture
