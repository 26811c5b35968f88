// The interface through which the capture layer delivers frames, and the
// shared cells the capture thread keeps it and its errors in.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "capture/frame_control.h"
#include "capture/handler_error.h"
#include "capture/platform/graphics.h"
#include "support/result.h"

namespace tarvix::capture {

class CaptureFrame;

using HandlerResult = Result<void, HandlerError>;

// Implemented by the user of the layer. Both calls run on the capture
// thread with the handler cell locked, so never concurrently.
class CaptureHandler {
 public:
  virtual ~CaptureHandler() = default;
  // One accepted frame, valid only during the call. An error ends the
  // capture; the stop that follows reports it.
  virtual HandlerResult handle_frame(CaptureFrame& frame, FrameControl& control) = 0;
  // The captured window went away; the capture ends after this. An error
  // is kept and reported by the stop like a frame's error.
  virtual HandlerResult handle_closed() = 0;
};

// Creates the handler on the capture thread once the device exists. It
// receives the device and its immediate context and must return a handler.
using HandlerFactory = std::function<std::unique_ptr<CaptureHandler>(
    std::shared_ptr<platform::Device> device, std::shared_ptr<platform::DeviceContext> context)>;

// The handler behind a plain mutex, shared by the frame and closed
// procedures and, after the start, by the CaptureControl.
struct HandlerCell {
  explicit HandlerCell(std::unique_ptr<CaptureHandler> h) : handler(std::move(h)) {}
  std::mutex mutex;
  std::unique_ptr<CaptureHandler> handler;
};

// The handler error that ends the capture; the last one stored wins.
class ResultSlot {
 public:
  void store(HandlerError error) {
    std::lock_guard lock(mutex_);
    error_ = std::move(error);
  }
  std::optional<HandlerError> take() {
    std::lock_guard lock(mutex_);
    return std::exchange(error_, std::nullopt);
  }

 private:
  std::mutex mutex_;
  std::optional<HandlerError> error_;
};

// Once set, stays set: the frame procedure then touches no frame.
using HaltFlag = std::shared_ptr<std::atomic<bool>>;

}  // namespace tarvix::capture
