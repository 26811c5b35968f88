#include "capture/platform/x11/answer_deadline.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#include "support/thread_name.h"

namespace tarvix::capture::platform::x11 {

PlatformResult<std::unique_ptr<AnswerDeadline>> AnswerDeadline::start(int socket,
                                                                      Clock::duration bound) {
  const int own = fcntl(socket, F_DUPFD_CLOEXEC, 0);
  if (own < 0) {
    return Err{PlatformError{
        kFail, std::string("Cannot watch the X connection: ") + std::strerror(errno)}};
  }
  auto deadline = std::make_unique<AnswerDeadline>(Key{}, own, bound);
  // A limit on threads is an ordinary condition: the connection fails.
  try {
    deadline->thread_ =
        std::jthread([raw = deadline.get()](std::stop_token stop) { raw->run(stop); });
  } catch (const std::system_error& error) {
    return Err{
        PlatformError{kFail, "Cannot start the X answer watch thread: " + error.code().message()}};
  }
  return deadline;
}

AnswerDeadline::~AnswerDeadline() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
  close(socket_);
}

bool AnswerDeadline::expired() const {
  std::lock_guard lock(mutex_);
  return expired_;
}

void AnswerDeadline::arm() {
  {
    std::lock_guard lock(mutex_);
    due_ = Clock::now() + bound_;
  }
  changed_.notify_one();
}

void AnswerDeadline::disarm() {
  std::lock_guard lock(mutex_);
  due_.reset();
}

void AnswerDeadline::run(std::stop_token stop) {
  set_current_thread_name("tarvix-x11-bound");
  std::unique_lock lock(mutex_);
  while (!stop.stop_requested()) {
    if (!due_) {
      changed_.wait(lock, stop, [&] { return due_.has_value(); });
      continue;
    }
    const Clock::time_point due = *due_;
    if (changed_.wait_until(lock, stop, due, [&] { return !due_ || *due_ != due; })) continue;
    if (stop.stop_requested()) return;
    // Wakes every wait on the socket; xcb then reports the connection broken.
    shutdown(socket_, SHUT_RDWR);
    expired_ = true;
    due_.reset();
  }
}

}  // namespace tarvix::capture::platform::x11
