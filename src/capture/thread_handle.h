// The joinable handle of a capture thread, which can tell whether the thread
// has finished (stored its result) and whether it ended abnormally.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "capture/capture_error.h"
#include "support/result.h"

namespace tarvix::capture {

using ThreadResult = Result<void, CaptureError>;

// Destroying an unjoined handle detaches the thread.
class ThreadHandle {
 public:
  // The new thread is named for debuggers. A limit on tasks or threads is an
  // ordinary condition (containers, service managers), so a refusal comes
  // back as ThreadSpawnFailed with the system's reason. The body is
  // destroyed on the new thread before the result is stored.
  static Result<ThreadHandle, CaptureError> spawn(std::function<ThreadResult()> body);

  ThreadHandle(ThreadHandle&&) noexcept = default;
  ThreadHandle& operator=(ThreadHandle&& other) noexcept;
  ThreadHandle(const ThreadHandle&) = delete;
  ThreadHandle& operator=(const ThreadHandle&) = delete;
  ~ThreadHandle();

  bool finished() const;
  std::thread::native_handle_type native_handle() { return thread_.native_handle(); }
  // Waits for the thread to exit; empty when its body ended by an exception
  // instead of returning.
  std::optional<ThreadResult> join();
  // Lets the thread run on by itself.
  void detach();

 private:
  struct Outcome;
  ThreadHandle(std::thread thread, std::shared_ptr<Outcome> outcome);

  std::thread thread_;
  std::shared_ptr<Outcome> outcome_;
};

}  // namespace tarvix::capture
