// Kept apart so that only programs starting captures on the default
// platform need the build's backend.
#include "capture/capture_thread.h"

namespace tarvix::capture {

Result<CaptureControl, CaptureError> start_capture_thread(CaptureSettings settings) {
  return start_capture_thread(std::move(settings), platform::default_platform());
}

}  // namespace tarvix::capture
