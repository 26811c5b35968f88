// The capture in progress: the service session over one window item, its
// frame pool and event registrations. Owned and torn down by the capture
// thread; destruction tears it down too.
#pragma once

#include <memory>
#include <optional>

#include "capture/capture_handler.h"
#include "capture/capture_service_error.h"
#include "capture/capture_settings.h"
#include "capture/graphics_device.h"
#include "capture/platform/platform.h"
#include "support/result.h"

namespace tarvix::capture {

// A capture item, with the window it was made from.
struct CaptureTarget {
  std::shared_ptr<platform::CaptureItem> item;
  std::optional<platform::WindowHandle> window;
};

// The item of a window; failures are not kept (the caller has one kind for
// them all).
std::optional<CaptureTarget> create_window_target(platform::Platform& platform,
                                                  platform::WindowHandle window);

struct SessionInputs {
  GraphicsDevice graphics;
  CaptureTarget target;
  std::shared_ptr<HandlerCell> handler;
  std::shared_ptr<ResultSlot> result;
  platform::ThreadId thread = 0;
};

class CaptureSession {
 public:
  // Checks every requested option before anything is made; on failure what
  // was made so far is released again.
  static Result<std::unique_ptr<CaptureSession>, CaptureServiceError> build(
      platform::Platform& platform, const CaptureSettings& settings, SessionInputs inputs);

  CaptureSession(platform::Platform& platform, SessionInputs inputs);
  ~CaptureSession();
  CaptureSession(const CaptureSession&) = delete;
  CaptureSession& operator=(const CaptureSession&) = delete;

  Result<void, CaptureServiceError> start();
  // Unregisters the procedures and closes pool and session; ignores
  // failures; harmless to repeat.
  void teardown() noexcept;

  const HaltFlag& halt_flag() const noexcept { return halt_; }
  bool active() const noexcept { return active_; }

 private:
  Result<void, CaptureServiceError> build_steps(const CaptureSettings& settings);
  Result<void, CaptureServiceError> register_procedures(const CaptureSettings& settings,
                                                        std::optional<std::uint32_t> title_bar);
  Result<void, CaptureServiceError> apply_options(const CaptureSettings& settings);

  platform::Platform& platform_;
  SessionInputs inputs_;
  std::shared_ptr<platform::CaptureDevice> capture_device_;
  HaltFlag halt_;
  std::shared_ptr<platform::FramePool> frame_pool_;
  std::shared_ptr<platform::ServiceSession> service_session_;
  std::optional<platform::EventToken> closed_token_;
  std::optional<platform::EventToken> frame_token_;
  bool active_ = false;
};

}  // namespace tarvix::capture
