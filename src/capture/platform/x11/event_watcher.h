// The thread that waits on a capture's X connection. The capture thread
// sleeps in its message pump, which cannot wait on a socket, so this thread
// reads the X events, hands them to the capture, and wakes at the times the
// capture asks for. Everything it learns reaches the capture thread through
// that thread's dispatcher queue.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include <xcb/xcb.h>

#include "capture/platform/platform_error.h"
#include "capture/platform/x11/x_connection.h"

namespace tarvix::capture::platform::x11 {

class EventWatcher {
 public:
  using Clock = std::chrono::steady_clock;
  struct Callbacks {
    // One X event (errors of unchecked requests included).
    std::function<void(const xcb_generic_event_t&)> on_event;
    // After each round of events and on every wake: do what is due now and
    // say when to be called again (none: only on news). The thread never
    // sleeps on an event handled after the last call.
    std::function<std::optional<Clock::time_point>()> on_idle;
    // The connection broke; the watcher stops after this.
    std::function<void()> on_broken;
  };

  static PlatformResult<std::unique_ptr<EventWatcher>> start(
      std::shared_ptr<XConnection> connection, Callbacks callbacks);

  // Only start() makes watchers; the key keeps the constructor to it.
  class Key {
    friend class EventWatcher;
    Key() = default;
  };
  EventWatcher(Key, std::shared_ptr<XConnection> connection, Callbacks callbacks, int wake_fd);
  EventWatcher(const EventWatcher&) = delete;
  EventWatcher& operator=(const EventWatcher&) = delete;
  // Stops and joins the thread. Must not run on the watcher thread itself.
  ~EventWatcher();

  // Makes the thread look again: call after reading from the connection on
  // another thread (xcb may have queued events on the way) or after changing
  // what on_idle answers.
  void wake() const noexcept;

 private:
  void run(std::stop_token stop);
  std::optional<std::size_t> drain_events();

  std::shared_ptr<XConnection> connection_;
  Callbacks callbacks_;
  int wake_fd_;
  std::jthread thread_;
};

}  // namespace tarvix::capture::platform::x11
