#include "capture/platform/x11/frame_pacer.h"

#include <algorithm>

namespace tarvix::capture::platform::x11 {

void FramePacer::retry_at(Clock::time_point when) noexcept {
  dirty_ = true;
  not_before_ = when;
}

std::optional<FramePacer::Clock::time_point> FramePacer::next_raise() const noexcept {
  if (stopped_ || paused_ || !dirty_ || waiting_ || held_) return std::nullopt;
  Clock::time_point when{};
  if (last_raise_) when = *last_raise_ + interval_;
  if (not_before_) when = std::max(when, *not_before_);
  return when;
}

bool FramePacer::try_raise(Clock::time_point now) noexcept {
  const auto when = next_raise();
  if (!when || *when > now) return false;
  waiting_ = true;
  last_raise_ = now;
  not_before_.reset();
  return true;
}

bool FramePacer::take() noexcept {
  if (!waiting_) return false;
  waiting_ = false;
  held_ = true;
  dirty_ = false;
  return true;
}

}  // namespace tarvix::capture::platform::x11
