#include "capture/event_procedures.h"

#include "capture/capture_frame.h"
#include "capture/frame_error.h"

namespace tarvix::capture {
namespace {

// Only whoever sets the halt flag posts the quit: a second quit would
// reach the pump that waits for the queue's shutdown.
platform::EventResult post_quit(platform::Platform& platform, platform::ThreadId thread) {
  auto posted = platform.post_thread_message(thread, platform::kWmQuit, 0, 0);
  if (!posted) return Err{std::move(posted).error()};
  return {};
}

// Sets the halt flag first so no frame is taken while the quit travels.
platform::EventResult request_quit(platform::Platform& platform, const HaltFlag& halt,
                                   platform::ThreadId thread) {
  if (halt->exchange(true)) return {};
  return post_quit(platform, thread);
}

// The event source drops a handler that returns one of these codes for good,
// so frames would stop without a word: the capture ends with the error
// instead, and the source is told nothing.
platform::EventResult end_on_lost_source(FrameProcedureState& state,
                                         platform::PlatformError error) {
  if (!platform::unregisters_handler(error.code)) return Err{std::move(error)};
  state.result->store(HandlerError{display(FrameError::windows(std::move(error)))});
  (void)request_quit(state.platform, state.halt, state.thread);
  return {};
}

struct HandlerOutcome {
  std::optional<HandlerError> error;
  bool stop_requested = false;
};

HandlerOutcome deliver(FrameProcedureState& state, std::shared_ptr<platform::Texture> texture) {
  CaptureFrame frame(state.device, state.context, std::move(texture), state.pixel_format,
                     state.title_bar_height, &state.staging);
  FrameControl control;
  HandlerOutcome outcome;
  {
    std::lock_guard lock(state.handler->mutex);
    auto handled = state.handler->handler->handle_frame(frame, control);
    if (!handled) outcome.error = std::move(handled).error();
  }
  outcome.stop_requested = control.stop_requested();
  return outcome;
}

}  // namespace

platform::EventResult frame_procedure(FrameProcedureState& state, platform::FramePool* pool) {
  if (pool == nullptr || state.halt->load()) return {};

  auto next = pool->try_get_next_frame();
  if (!next) return end_on_lost_source(state, std::move(next).error());
  std::shared_ptr<platform::Frame> frame = std::move(next).value();
  if (!frame) return {};

  auto content = frame->content_size();
  if (!content) return end_on_lost_source(state, std::move(content).error());
  if (content.value() != state.last_size) {
    // The buffer still has the old size: drop this frame and resize.
    frame.reset();
    auto recreated = pool->recreate(*state.capture_device, state.pixel_format, 1, content.value());
    if (!recreated) return end_on_lost_source(state, std::move(recreated).error());
    state.last_size = content.value();
    return {};
  }

  auto surface = frame->texture();
  if (!surface) return end_on_lost_source(state, std::move(surface).error());
  std::shared_ptr<platform::Texture> texture = std::move(surface).value();
  if (!texture) return Err{platform::PlatformError{platform::kPointer, {}}};

  HandlerOutcome outcome = deliver(state, std::move(texture));
  if (!outcome.error && !outcome.stop_requested) return {};
  // Stored only after the handler's lock is released: the two are never held together.
  if (outcome.error) state.result->store(std::move(*outcome.error));
  return request_quit(state.platform, state.halt, state.thread);
}

platform::EventResult closed_procedure(ClosedProcedureState& state) {
  const bool halted_before = state.halt->exchange(true);
  std::optional<HandlerError> error;
  {
    std::lock_guard lock(state.handler->mutex);
    auto closed = state.handler->handler->handle_closed();
    if (!closed) error = std::move(closed).error();
  }
  // Kept like a frame's error so a handler's trouble at close is not lost.
  if (error) state.result->store(std::move(*error));
  if (halted_before) return {};
  return post_quit(state.platform, state.thread);
}

}  // namespace tarvix::capture
