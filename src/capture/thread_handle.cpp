#include "capture/thread_handle.h"

#include <mutex>
#include <system_error>

#include "support/thread_name.h"

namespace tarvix::capture {

struct ThreadHandle::Outcome {
  mutable std::mutex mutex;
  bool finished = false;
  std::optional<ThreadResult> result;
};

namespace {

// The body's result, or nothing when it ended by an exception: a capture
// thread that faults is reported, not allowed to take the process down.
std::optional<ThreadResult> run_guarded(std::function<ThreadResult()>& body) {
  try {
    std::optional<ThreadResult> result(body());
    body = nullptr;
    return result;
  } catch (...) {
  }
  try {
    body = nullptr;
  } catch (...) {
  }
  return std::nullopt;
}

}  // namespace

Result<ThreadHandle, CaptureError> ThreadHandle::spawn(std::function<ThreadResult()> body) {
  auto outcome = std::make_shared<Outcome>();
  auto entry = [outcome, body = std::move(body)]() mutable {
    set_current_thread_name("tarvix capture");
    std::optional<ThreadResult> result = run_guarded(body);
    std::lock_guard lock(outcome->mutex);
    outcome->result = std::move(result);
    outcome->finished = true;
  };
  try {
    return ThreadHandle(std::thread(std::move(entry)), outcome);
  } catch (const std::system_error& error) {
    return Err{CaptureError::spawn_failed(error.code().message())};
  }
}

ThreadHandle::ThreadHandle(std::thread thread, std::shared_ptr<Outcome> outcome)
    : thread_(std::move(thread)), outcome_(std::move(outcome)) {}

ThreadHandle& ThreadHandle::operator=(ThreadHandle&& other) noexcept {
  if (this != &other) {
    detach();
    thread_ = std::move(other.thread_);
    outcome_ = std::move(other.outcome_);
  }
  return *this;
}

ThreadHandle::~ThreadHandle() {
  detach();
}

void ThreadHandle::detach() {
  if (thread_.joinable()) thread_.detach();
}

bool ThreadHandle::finished() const {
  if (!outcome_) return true;
  std::lock_guard lock(outcome_->mutex);
  return outcome_->finished;
}

std::optional<ThreadResult> ThreadHandle::join() {
  if (thread_.joinable()) thread_.join();
  if (!outcome_) return std::nullopt;
  std::lock_guard lock(outcome_->mutex);
  return std::move(outcome_->result);
}

}  // namespace tarvix::capture
