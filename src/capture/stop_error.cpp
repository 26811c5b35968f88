#include "capture/stop_error.h"

namespace tarvix::capture {

std::string display(const StopError& error) {
  switch (error.kind) {
    case StopError::Kind::JoinFailed:
      return "Failed to join thread";
    case StopError::Kind::ThreadHandleMissing:
      return "Thread handle is taken out of the struct";
    case StopError::Kind::PostFailed:
      return "Failed to post thread message";
    case StopError::Kind::CaptureFailed:
      return "Windows capture error: " + display(error.capture);
  }
  return {};
}

}  // namespace tarvix::capture
