// How a capture thread ends when it does not end well; also what
// start_capture_thread returns when the capture could not begin.
#pragma once

#include <string>

#include "capture/capture_service_error.h"
#include "capture/device_error.h"
#include "capture/handler_error.h"

namespace tarvix::capture {

struct CaptureError {
  enum class Kind {
    JoinFailed,
    WinRtInitFailed,
    QueueControllerFailed,
    QueueShutdownFailed,
    QueueCompletedHandlerFailed,
    MessageLoopFailed,
    ThreadInitFailed,
    ItemConversionFailed,
    DeviceFailed,
    ServiceFailed,
    HandlerFailed,
    // The operating system refused a new thread (a task or thread limit).
    ThreadSpawnFailed,
  };

  Kind kind = Kind::ThreadInitFailed;
  DeviceError device;           // DeviceFailed
  CaptureServiceError service;  // ServiceFailed
  HandlerError handler;         // HandlerFailed
  std::string system;           // ThreadSpawnFailed: the system's reason

  static CaptureError of(Kind kind) { return {kind, {}, {}, {}, {}}; }
  static CaptureError device_failed(DeviceError error) {
    return {Kind::DeviceFailed, std::move(error), {}, {}, {}};
  }
  static CaptureError service_failed(CaptureServiceError error) {
    return {Kind::ServiceFailed, {}, std::move(error), {}, {}};
  }
  static CaptureError handler_failed(HandlerError error) {
    return {Kind::HandlerFailed, {}, {}, std::move(error), {}};
  }
  static CaptureError spawn_failed(std::string reason) {
    return {Kind::ThreadSpawnFailed, {}, {}, {}, std::move(reason)};
  }
};

std::string display(const CaptureError& error);

}  // namespace tarvix::capture
