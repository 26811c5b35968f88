#include "capture/capture_control.h"

#include <thread>
#include <utility>

namespace tarvix::capture {
namespace {

Result<void, StopError> join(ThreadHandle& thread) {
  std::optional<ThreadResult> result = thread.join();
  if (!result) return Err{StopError::of(StopError::Kind::JoinFailed)};
  if (!result->ok()) return Err{StopError::capture_failed(std::move(*result).error())};
  return {};
}

Result<void, StopError> leave_running(ThreadHandle& thread) {
  thread.detach();
  return Err{StopError::of(StopError::Kind::PostFailed)};
}

}  // namespace

CaptureControl::CaptureControl(platform::Platform& platform, ThreadHandle thread, HaltFlag halt,
                               std::shared_ptr<HandlerCell> handler)
    : platform_(&platform),
      thread_(std::move(thread)),
      halt_(std::move(halt)),
      handler_(std::move(handler)) {}

Result<void, StopError> CaptureControl::stop() {
  // Whoever set the flag first has posted the quit already (the window's
  // closing, a failed frame): a second one is not sent.
  const bool halted_before = halt_ && halt_->exchange(true);
  if (!thread_) return Err{StopError::of(StopError::Kind::ThreadHandleMissing)};
  ThreadHandle thread = std::move(*thread_);
  thread_.reset();
  if (halted_before) return join(thread);

  const platform::ThreadId id = platform_->thread_id_of(thread.native_handle());
  if (id == 0) return thread.finished() ? join(thread) : leave_running(thread);
  for (;;) {
    auto posted = platform_->post_thread_message(id, platform::kWmQuit, 0, 0);
    if (posted || thread.finished()) return join(thread);
    // No queue yet: the thread is between its hand-over and its first pump.
    if (posted.error().code != platform::kInvalidThreadId) return leave_running(thread);
    std::this_thread::yield();
  }
}

}  // namespace tarvix::capture
