// The starter's handle on a running capture.
#pragma once

#include <memory>
#include <optional>

#include "capture/capture_handler.h"
#include "capture/platform/platform.h"
#include "capture/stop_error.h"
#include "capture/thread_handle.h"
#include "support/result.h"

namespace tarvix::capture {

class CaptureControl {
 public:
  CaptureControl(platform::Platform& platform, ThreadHandle thread, HaltFlag halt,
                 std::shared_ptr<HandlerCell> handler);
  CaptureControl(CaptureControl&&) noexcept = default;
  CaptureControl& operator=(CaptureControl&&) noexcept = default;
  // Dropping a control without stop() leaves the thread running, detached,
  // until its window closes or its handler fails.
  ~CaptureControl() = default;

  // Halts the capture, posts the quit message (retrying while the capture
  // thread has no queue yet) and joins the thread. A second call gives
  // ThreadHandleMissing. Only when the post fails for another reason is the
  // thread left running, detached (PostFailed).
  Result<void, StopError> stop();

  const HaltFlag& halt_flag() const noexcept { return halt_; }

 private:
  platform::Platform* platform_;
  std::optional<ThreadHandle> thread_;
  HaltFlag halt_;
  std::shared_ptr<HandlerCell> handler_;
};

}  // namespace tarvix::capture
