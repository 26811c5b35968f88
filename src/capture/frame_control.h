// Lent to a handler with each frame: stop() asks the capture to end after
// this frame, like a handler error but with nothing recorded.
#pragma once

#include <atomic>

namespace tarvix::capture {

class FrameControl {
 public:
  void stop() noexcept { stop_requested_.store(true); }
  bool stop_requested() const noexcept { return stop_requested_.load(); }

 private:
  std::atomic<bool> stop_requested_{false};
};

}  // namespace tarvix::capture
