#include "capture/capture_error.h"

namespace tarvix::capture {

std::string display(const CaptureError& error) {
  using Kind = CaptureError::Kind;
  switch (error.kind) {
    case Kind::JoinFailed:
      return "Failed to join thread";
    case Kind::WinRtInitFailed:
      return "Failed to initialize WinRT";
    case Kind::QueueControllerFailed:
      return "Failed to create dispatcher queue controller";
    case Kind::QueueShutdownFailed:
      return "Failed to shut down dispatcher queue";
    case Kind::QueueCompletedHandlerFailed:
      return "Failed to set dispatcher queue completed handler";
    case Kind::MessageLoopFailed:
      return "Failed to run the capture thread message loop";
    case Kind::ThreadInitFailed:
      return "Failed to initialize the capture thread";
    case Kind::ItemConversionFailed:
      return "Failed to convert item to `GraphicsCaptureItem`";
    case Kind::DeviceFailed:
      return "DirectX error: " + display(error.device);
    case Kind::ServiceFailed:
      return "Graphics capture error: " + display(error.service);
    case Kind::HandlerFailed:
      return "Frame handler error: " + display(error.handler);
    case Kind::ThreadSpawnFailed:
      return "Failed to spawn the capture thread: " + error.system;
  }
  return {};
}

}  // namespace tarvix::capture
