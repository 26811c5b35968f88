#include "capture/capture_thread.h"

#include <atomic>
#include <utility>

#include "capture/capture_session.h"
#include "capture/graphics_device.h"
#include "capture/hand_over.h"
#include "support/fatal.h"

namespace tarvix::capture {
namespace {

using Kind = CaptureError::Kind;
using HaltHandOver = HandOver<HaltFlag>;
using CellHandOver = HandOver<std::shared_ptr<HandlerCell>>;

// What the capture thread takes with it.
struct ThreadStart {
  CaptureSettings settings;
  HaltHandOver::Sender halt;
  CellHandOver::Sender cell;
};

template <class F>
class ScopeExit {
 public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ~ScopeExit() { f_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  F f_;
};

Err<CaptureError> fail(Kind kind) {
  return Err{CaptureError::of(kind)};
}

// False when get_message failed; true when the quit message arrived.
bool pump(platform::Platform& platform) {
  platform::Message message;
  for (;;) {
    const int got = platform.get_message(message);
    if (got == 0) return true;
    if (got < 0) return false;
    platform.translate_message(message);
    platform.dispatch_message(message);
  }
}

std::shared_ptr<HandlerCell> create_handler(HandlerFactory factory,
                                            const GraphicsDevice& graphics) {
  if (!factory) fatal("capture settings carry no handler factory");
  std::unique_ptr<CaptureHandler> handler = factory(graphics.device, graphics.context);
  if (!handler) fatal("the capture handler factory returned no handler");
  return std::make_shared<HandlerCell>(std::move(handler));
}

// Shuts the dispatcher queue down and pumps until its Completed handler has
// run. A quit message does not end this pump: a window closing during a
// stop may have posted one more than the first pump took.
ThreadResult drain(platform::Platform& platform, platform::DispatcherQueueController& controller,
                   platform::ThreadId thread) {
  auto requested = controller.shutdown_queue_async();
  if (!requested || !requested.value()) return fail(Kind::QueueShutdownFailed);
  std::shared_ptr<platform::AsyncAction> shutdown = std::move(requested).value();
  auto done = std::make_shared<std::atomic<bool>>(false);
  auto completed = shutdown->set_completed([&platform, done, thread]() -> platform::EventResult {
    done->store(true);
    // Wakes the pump should the action complete on another thread.
    (void)platform.post_thread_message(thread, platform::kWmNull, 0, 0);
    return {};
  });
  if (!completed) return fail(Kind::QueueCompletedHandlerFailed);
  platform::Message message;
  while (!done->load()) {
    const int got = platform.get_message(message);
    if (got < 0) return fail(Kind::MessageLoopFailed);
    if (got == 0) continue;
    platform.translate_message(message);
    platform.dispatch_message(message);
  }
  return {};
}

// Everything between the queue's creation and its shutdown. The session is
// torn down on return, so its handlers are gone and the pool and session
// closed before the queue shuts down.
ThreadResult capture(platform::Platform& platform, ThreadStart& start, HandlerFactory factory,
                     const std::shared_ptr<ResultSlot>& result, platform::ThreadId thread) {
  auto graphics = create_graphics_device(platform);
  if (!graphics) return Err{CaptureError::device_failed(std::move(graphics).error())};
  std::shared_ptr<HandlerCell> cell = create_handler(std::move(factory), *graphics);

  std::optional<CaptureTarget> target = create_window_target(platform, start.settings.window);
  if (!target) return fail(Kind::ItemConversionFailed);

  auto built = CaptureSession::build(
      platform, start.settings, SessionInputs{*graphics, std::move(*target), cell, result, thread});
  if (!built) return Err{CaptureError::service_failed(std::move(built).error())};
  std::unique_ptr<CaptureSession> session = std::move(built).value();
  if (auto started = session->start(); !started) {
    return Err{CaptureError::service_failed(std::move(started).error())};
  }

  if (!start.halt.send(session->halt_flag()) || !start.cell.send(cell)) {
    return fail(Kind::ThreadInitFailed);
  }
  if (!pump(platform)) return fail(Kind::MessageLoopFailed);
  return {};
}

// Locals go in reverse order of creation: the controller, the runtime, then
// the apartment.
ThreadResult run_capture_thread(platform::Platform& platform, ThreadStart& start) {
  HandlerFactory factory = std::exchange(start.settings.handler_factory, nullptr);

  auto cookie = platform.increment_mta_usage();
  if (!cookie) return fail(Kind::WinRtInitFailed);
  ScopeExit leave_apartment([&] { (void)platform.decrement_mta_usage(cookie.value()); });
  if (!platform.initialize_runtime()) return fail(Kind::WinRtInitFailed);
  ScopeExit uninitialize([&] { platform.uninitialize_runtime(); });

  auto made = platform.create_dispatcher_queue_controller();
  if (!made || !made.value()) return fail(Kind::QueueControllerFailed);
  std::shared_ptr<platform::DispatcherQueueController> controller = std::move(made).value();
  const platform::ThreadId thread = platform.current_thread_id();

  // From here every exit shuts the queue down; the first failure is the one
  // reported.
  auto result = std::make_shared<ResultSlot>();
  ThreadResult captured = capture(platform, start, std::move(factory), result, thread);
  ThreadResult drained = drain(platform, *controller, thread);
  if (!captured.ok()) return captured;
  if (!drained.ok()) return drained;
  if (std::optional<HandlerError> error = result->take()) {
    return Err{CaptureError::handler_failed(std::move(*error))};
  }
  return {};
}

// A channel that closed without a value: the thread has ended, so its
// result says why.
CaptureError ended_before_hand_over(ThreadHandle& thread) {
  std::optional<ThreadResult> result = thread.join();
  if (!result) return CaptureError::of(Kind::JoinFailed);
  if (!result->ok()) return std::move(*result).error();
  return CaptureError::of(Kind::ThreadInitFailed);
}

}  // namespace

Result<CaptureControl, CaptureError> start_capture_thread(CaptureSettings settings,
                                                          platform::Platform& platform) {
  auto [halt_sender, halt_receiver] = HaltHandOver::make();
  auto [cell_sender, cell_receiver] = CellHandOver::make();
  auto start = std::make_shared<ThreadStart>(
      ThreadStart{std::move(settings), std::move(halt_sender), std::move(cell_sender)});
  ThreadHandle thread = ThreadHandle::spawn(
      [&platform, start = std::move(start)] { return run_capture_thread(platform, *start); });

  std::optional<HaltFlag> halt = halt_receiver.receive();
  if (!halt) return Err{ended_before_hand_over(thread)};
  std::optional<std::shared_ptr<HandlerCell>> cell = cell_receiver.receive();
  if (!cell) return Err{ended_before_hand_over(thread)};
  return CaptureControl(platform, std::move(thread), std::move(*halt), std::move(*cell));
}

}  // namespace tarvix::capture
