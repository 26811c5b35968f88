// How stopping a capture can fail.
#pragma once

#include <string>

#include "capture/capture_error.h"

namespace tarvix::capture {

struct StopError {
  enum class Kind { JoinFailed, ThreadHandleMissing, PostFailed, CaptureFailed };

  Kind kind = Kind::JoinFailed;
  CaptureError capture;  // CaptureFailed

  static StopError of(Kind kind) { return {kind, {}}; }
  static StopError capture_failed(CaptureError error) {
    return {Kind::CaptureFailed, std::move(error)};
  }
};

std::string display(const StopError& error);

}  // namespace tarvix::capture
