// Bounds every wait on one X connection. xcb waits for the server without a
// time limit, so while a wait is armed a thread of the connection's own
// watches the clock; once the server has left it unanswered for kAnswerBound
// it shuts the socket down, which ends the wait in xcb as a broken
// connection, and remembers that it did.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "capture/platform/platform_error.h"

namespace tarvix::capture::platform::x11 {

inline constexpr std::chrono::seconds kAnswerBound{3};

class AnswerDeadline {
 public:
  using Clock = std::chrono::steady_clock;

  // Watches a duplicate of `socket`, so the descriptor it shuts down stays
  // this socket whenever xcb closes its own.
  static PlatformResult<std::unique_ptr<AnswerDeadline>> start(
      int socket, Clock::duration bound = kAnswerBound);

  // Arms the deadline for as long as it lives. Waits do not nest.
  class Wait {
   public:
    explicit Wait(AnswerDeadline& deadline) : deadline_(deadline) { deadline_.arm(); }
    Wait(const Wait&) = delete;
    Wait& operator=(const Wait&) = delete;
    ~Wait() { deadline_.disarm(); }

   private:
    AnswerDeadline& deadline_;
  };

  // Only start() makes deadlines; the key keeps the constructor to it.
  class Key {
    friend class AnswerDeadline;
    Key() = default;
  };
  AnswerDeadline(Key, int socket, Clock::duration bound) : socket_(socket), bound_(bound) {}
  AnswerDeadline(const AnswerDeadline&) = delete;
  AnswerDeadline& operator=(const AnswerDeadline&) = delete;
  ~AnswerDeadline();

  // The server let a wait run past the bound; the connection is shut.
  bool expired() const;

 private:
  void arm();
  void disarm();
  void run(std::stop_token stop);

  int socket_;
  Clock::duration bound_;
  mutable std::mutex mutex_;
  std::condition_variable_any changed_;
  std::optional<Clock::time_point> due_;
  bool expired_ = false;
  std::jthread thread_;
};

}  // namespace tarvix::capture::platform::x11
