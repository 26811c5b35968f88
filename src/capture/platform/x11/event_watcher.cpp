#include "capture/platform/x11/event_watcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <system_error>

#include "capture/platform/x11/x_reply.h"
#include "support/thread_name.h"

namespace tarvix::capture::platform::x11 {

namespace {

int poll_timeout(std::optional<EventWatcher::Clock::time_point> when) {
  if (!when) return -1;
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(*when - EventWatcher::Clock::now());
  return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 60'000));
}

}  // namespace

PlatformResult<std::unique_ptr<EventWatcher>> EventWatcher::start(
    std::shared_ptr<XConnection> connection, Callbacks callbacks) {
  const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0)
    return Err{PlatformError{kFail, std::string("eventfd failed: ") + std::strerror(errno)}};
  auto watcher =
      std::make_unique<EventWatcher>(Key{}, std::move(connection), std::move(callbacks), fd);
  // A limit on threads is an ordinary condition: the capture fails to start.
  try {
    watcher->thread_ =
        std::jthread([raw = watcher.get()](std::stop_token stop) { raw->run(stop); });
  } catch (const std::system_error& error) {
    return Err{
        PlatformError{kFail, "Cannot start the X event watcher thread: " + error.code().message()}};
  }
  return watcher;
}

EventWatcher::EventWatcher(Key, std::shared_ptr<XConnection> connection, Callbacks callbacks,
                           int wake_fd)
    : connection_(std::move(connection)), callbacks_(std::move(callbacks)), wake_fd_(wake_fd) {}

EventWatcher::~EventWatcher() {
  thread_.request_stop();
  wake();
  if (thread_.joinable()) thread_.join();
  close(wake_fd_);
}

void EventWatcher::wake() const noexcept {
  const std::uint64_t one = 1;
  // A full counter already means "wake up"; nothing is lost by a failed write.
  [[maybe_unused]] const ssize_t n = write(wake_fd_, &one, sizeof one);
}

void EventWatcher::run(std::stop_token stop) {
  set_current_thread_name("tarvix-x11-watch");
  const int x_fd = xcb_get_file_descriptor(connection_->raw());
  while (!stop.stop_requested()) {
    if (!drain_events()) {
      callbacks_.on_broken();
      return;
    }
    const auto next = callbacks_.on_idle();
    // Events that arrived while on_idle ran. Only on_idle acts on what an
    // event changed (a destroyed window raises Closed there), and poll would
    // not report events already read off the socket: go round again rather
    // than sleep with them unanswered.
    const auto late = drain_events();
    if (!late) {
      callbacks_.on_broken();
      return;
    }
    if (*late > 0) continue;
    pollfd fds[] = {{x_fd, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
    if (poll(fds, 2, poll_timeout(next)) < 0 && errno != EINTR) {
      callbacks_.on_broken();
      return;
    }
    if (fds[1].revents & POLLIN) {
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t n = read(wake_fd_, &count, sizeof count);
    }
  }
}

// How many events it handled; none once the connection has broken.
std::optional<std::size_t> EventWatcher::drain_events() {
  xcb_connection_t* c = connection_->raw();
  std::size_t handled = 0;
  for (; XReply<xcb_generic_event_t> event{xcb_poll_for_event(c)}; ++handled)
    callbacks_.on_event(*event);
  if (connection_->broken()) return std::nullopt;
  return handled;
}

}  // namespace tarvix::capture::platform::x11
