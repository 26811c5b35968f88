// Starting a capture. The capture thread owns the device, the dispatcher
// queue, the session and the message pump; the starter gets a
// CaptureControl back once the thread captures.
#pragma once

#include "capture/capture_control.h"
#include "capture/capture_error.h"
#include "capture/capture_settings.h"
#include "capture/platform/platform.h"
#include "support/result.h"

namespace tarvix::capture {

// Blocks until the capture thread captures or has failed. On failure the
// thread has ended, and everything it held, the settings' handler factory
// included, has been released. `platform` must outlive the thread.
Result<CaptureControl, CaptureError> start_capture_thread(CaptureSettings settings,
                                                          platform::Platform& platform);

// The same on the process's default platform.
Result<CaptureControl, CaptureError> start_capture_thread(CaptureSettings settings);

}  // namespace tarvix::capture
