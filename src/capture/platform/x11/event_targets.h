// What a running capture raises its events on. Implemented by the frame pool
// and the capture item; called on the capture thread, from its dispatcher
// queue.
#pragma once

namespace tarvix::capture::platform::x11 {

class FrameArrivedTarget {
 public:
  virtual void raise_frame_arrived() = 0;

 protected:
  ~FrameArrivedTarget() = default;
};

class ClosedTarget {
 public:
  virtual void raise_closed() = 0;

 protected:
  ~ClosedTarget() = default;
};

}  // namespace tarvix::capture::platform::x11
