#include "capture/capture_service_error.h"

namespace tarvix::capture {

std::string display(const CaptureServiceError& error) {
  using Kind = CaptureServiceError::Kind;
  switch (error.kind) {
    case Kind::Unsupported:
      return "The Graphics Capture API is not supported on this platform.";
    case Kind::CursorUnsupported:
      return "Toggling cursor capture is not supported by the Graphics Capture API on this "
             "platform.";
    case Kind::BorderUnsupported:
      return "Toggling the capture border is not supported by the Graphics Capture API on this "
             "platform.";
    case Kind::SecondaryWindowsUnsupported:
      return "Capturing secondary windows is not supported by the Graphics Capture API on this "
             "platform.";
    case Kind::MinUpdateIntervalUnsupported:
      return "Setting a minimum update interval is not supported by the Graphics Capture API on "
             "this platform.";
    case Kind::DirtyRegionUnsupported:
      return "Dirty region tracking is not supported by the Graphics Capture API on this "
             "platform.";
    case Kind::AlreadyStarted:
      return "The capture has already been started.";
    case Kind::DeviceFailed:
      return "DirectX error: " + display(error.device);
    case Kind::WindowFailed:
      return "Window error: " + display(error.window);
    case Kind::PlatformFailed:
      return "Windows API error: " + platform::display(error.platform);
  }
  return {};
}

}  // namespace tarvix::capture
