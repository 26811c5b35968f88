// Decides when a capture raises FrameArrived: once when it starts, then
// whenever the window changed, no faster than the update interval, and never
// while a frame is still waiting in the pool or being handled. Pure
// bookkeeping: the caller supplies the time and guards it with its lock.
#pragma once

#include <chrono>
#include <optional>

namespace tarvix::capture::platform::x11 {

class FramePacer {
 public:
  using Clock = std::chrono::steady_clock;
  // 60 frames a second unless a minimum update interval is set.
  static constexpr Clock::duration kDefaultInterval = std::chrono::nanoseconds(16'666'667);

  void set_interval(Clock::duration interval) noexcept { interval_ = interval; }
  // Content or size changed: a frame is due.
  void content_changed() noexcept { dirty_ = true; }
  // While paused (window unmapped) changes are kept but nothing is raised.
  void set_paused(bool paused) noexcept { paused_ = paused; }
  // Nothing more is raised, ever (window closed, pool closed).
  void stop() noexcept { stopped_ = true; }
  // The frame could not be taken yet; try again no earlier than `when`.
  void retry_at(Clock::time_point when) noexcept;

  // When the next frame may be raised; none while there is nothing to raise.
  std::optional<Clock::time_point> next_raise() const noexcept;
  // Raises if due at `now`: the frame is then waiting in the pool.
  bool try_raise(Clock::time_point now) noexcept;
  // The raise could not be delivered: nothing is waiting after all.
  void raise_failed() noexcept { waiting_ = false; }
  // The frame procedure takes the waiting frame; false when none waits.
  bool take() noexcept;
  // The taken frame was released.
  void release() noexcept { held_ = false; }

  bool holding() const noexcept { return held_; }

 private:
  Clock::duration interval_ = kDefaultInterval;
  std::optional<Clock::time_point> last_raise_;
  std::optional<Clock::time_point> not_before_;
  bool dirty_ = true;  // the first frame is due at once
  bool paused_ = false;
  bool stopped_ = false;
  bool waiting_ = false;
  bool held_ = false;
};

}  // namespace tarvix::capture::platform::x11
