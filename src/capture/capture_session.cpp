#include "capture/capture_session.h"

#include <utility>

#include "capture/event_procedures.h"
#include "capture/session_options.h"
#include "capture/window_geometry.h"

namespace tarvix::capture {
namespace {

using Kind = CaptureServiceError::Kind;

CaptureServiceError platform_failed(platform::PlatformError error) {
  return CaptureServiceError::platform_failed(std::move(error));
}

Result<std::shared_ptr<platform::CaptureDevice>, CaptureServiceError> wrap_device(
    platform::Device& device) {
  auto wrapped = device.create_capture_device();
  if (!wrapped) {
    return Err{
        CaptureServiceError::device_failed(DeviceError::windows(std::move(wrapped).error()))};
  }
  if (!wrapped.value()) {
    return Err{CaptureServiceError::device_failed(
        DeviceError::windows(platform::PlatformError{platform::kPointer, {}}))};
  }
  return std::move(wrapped).value();
}

}  // namespace

std::optional<CaptureTarget> create_window_target(platform::Platform& platform,
                                                  platform::WindowHandle window) {
  auto item = platform.create_item_for_window(window);
  if (!item || !item.value()) return std::nullopt;
  return CaptureTarget{std::move(item).value(), window};
}

Result<std::unique_ptr<CaptureSession>, CaptureServiceError> CaptureSession::build(
    platform::Platform& platform, const CaptureSettings& settings, SessionInputs inputs) {
  auto session = std::make_unique<CaptureSession>(platform, std::move(inputs));
  auto built = session->build_steps(settings);
  if (!built) return Err{std::move(built).error()};
  return session;
}

CaptureSession::CaptureSession(platform::Platform& platform, SessionInputs inputs)
    : platform_(platform), inputs_(std::move(inputs)) {}

CaptureSession::~CaptureSession() {
  teardown();
}

Result<void, CaptureServiceError> CaptureSession::build_steps(const CaptureSettings& settings) {
  // Every check comes before anything is made, so a missing option fails
  // the start before any capture begins.
  if (auto supported = check_service_supported(platform_); !supported) return supported;
  const std::vector<OptionRequest> options = requested_options(settings);
  for (const OptionRequest& option : options) {
    if (auto supported = check_option_supported(platform_, option); !supported) {
      return Err{std::move(supported).error()};
    }
  }

  std::optional<std::uint32_t> title_bar;
  if (inputs_.target.window) {
    auto height = title_bar_height(platform_, *inputs_.target.window);
    if (!height) return Err{CaptureServiceError::window_failed(std::move(height).error())};
    title_bar = height.value();
  }

  auto device = wrap_device(*inputs_.graphics.device);
  if (!device) return Err{std::move(device).error()};
  capture_device_ = std::move(device).value();

  auto size = inputs_.target.item->size();
  if (!size) return Err{platform_failed(std::move(size).error())};
  auto pool = platform_.create_frame_pool(*capture_device_, settings.pixel_format, 1, size.value());
  if (!pool) return Err{platform_failed(std::move(pool).error())};
  if (!pool.value()) return Err{platform_failed(platform::PlatformError{platform::kPointer, {}})};
  frame_pool_ = std::move(pool).value();

  auto session = frame_pool_->create_capture_session(*inputs_.target.item);
  if (!session) return Err{platform_failed(std::move(session).error())};
  if (!session.value()) {
    return Err{platform_failed(platform::PlatformError{platform::kPointer, {}})};
  }
  service_session_ = std::move(session).value();

  halt_ = std::make_shared<std::atomic<bool>>(false);
  if (auto registered = register_procedures(settings, title_bar); !registered) return registered;
  return apply_options(settings);
}

Result<void, CaptureServiceError> CaptureSession::register_procedures(
    const CaptureSettings& settings, std::optional<std::uint32_t> title_bar) {
  auto closed_state = std::make_shared<ClosedProcedureState>(
      ClosedProcedureState{platform_, halt_, inputs_.handler, inputs_.result, inputs_.thread});
  auto closed =
      inputs_.target.item->add_closed([closed_state] { return closed_procedure(*closed_state); });
  if (!closed) return Err{platform_failed(std::move(closed).error())};
  closed_token_ = closed.value();

  auto size = inputs_.target.item->size();
  if (!size) return Err{platform_failed(std::move(size).error())};

  // The pool reaches the procedure as the event's sender; holding it here
  // too would make a cycle through the pool's own handler list.
  auto frame_state =
      std::make_shared<FrameProcedureState>(FrameProcedureState{platform_,
                                                                title_bar,
                                                                halt_,
                                                                size.value(),
                                                                capture_device_,
                                                                inputs_.graphics.device,
                                                                inputs_.graphics.context,
                                                                inputs_.handler,
                                                                inputs_.result,
                                                                settings.pixel_format,
                                                                inputs_.thread,
                                                                {}});
  auto frame = frame_pool_->add_frame_arrived(
      [frame_state](platform::FramePool* pool) { return frame_procedure(*frame_state, pool); });
  if (!frame) return Err{platform_failed(std::move(frame).error())};
  frame_token_ = frame.value();
  return {};
}

Result<void, CaptureServiceError> CaptureSession::apply_options(const CaptureSettings& settings) {
  for (const OptionRequest& option : requested_options(settings)) {
    auto supported = check_option_supported(platform_, option);
    if (!supported) return Err{std::move(supported).error()};
    if (!supported.value()) continue;
    auto applied = option.apply(*service_session_);
    if (!applied) return Err{platform_failed(std::move(applied).error())};
  }
  return {};
}

Result<void, CaptureServiceError> CaptureSession::start() {
  if (active_) return Err{CaptureServiceError::of(Kind::AlreadyStarted)};
  if (!service_session_)
    return Err{platform_failed(platform::PlatformError{platform::kIllegalCall, {}})};
  auto started = service_session_->start_capture();
  if (!started) return Err{platform_failed(std::move(started).error())};
  active_ = true;
  return {};
}

void CaptureSession::teardown() noexcept {
  if (auto pool = std::exchange(frame_pool_, nullptr)) {
    if (frame_token_) (void)pool->remove_frame_arrived(*frame_token_);
    (void)pool->close();
  }
  frame_token_.reset();
  if (auto session = std::exchange(service_session_, nullptr)) (void)session->close();
  if (closed_token_ && inputs_.target.item) {
    (void)inputs_.target.item->remove_closed(*std::exchange(closed_token_, std::nullopt));
  }
  active_ = false;
}

}  // namespace tarvix::capture
