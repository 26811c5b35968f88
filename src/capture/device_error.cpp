#include "capture/device_error.h"

namespace tarvix::capture {

std::string display(const DeviceError& error) {
  switch (error.kind) {
    case DeviceError::Kind::FeatureLevelNotSatisfied:
      return "Failed to create DirectX device with the recommended feature levels";
    case DeviceError::Kind::UnexpectedNullResult:
      return "Windows API succeeded but did not return " + std::string(error.missing);
    case DeviceError::Kind::WindowsError:
      return "Windows API Error: " + platform::display(error.platform);
  }
  return {};
}

}  // namespace tarvix::capture
