#include "capture/frame_error.h"

namespace tarvix::capture {

std::string display(const FrameError& error) {
  switch (error.kind) {
    case FrameError::Kind::DirectXError:
      return "DirectX error: " + display(error.device);
    case FrameError::Kind::WindowsError:
      return "Windows API error: " + platform::display(error.platform);
  }
  return {};
}

}  // namespace tarvix::capture
