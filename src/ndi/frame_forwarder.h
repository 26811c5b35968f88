// The capture handler of an NDI output: every captured frame is read back,
// packed without row padding, turned into straight alpha and sent as one
// video frame through the output's sender before the call returns.
#pragma once

#include <cstdint>
#include <vector>

#include "capture/capture_frame.h"
#include "capture/capture_handler.h"
#include "ndi/sender.h"
#include "ndi/video_frame.h"

namespace tarvix::ndi {

class NdiFrameForwarder final : public capture::CaptureHandler {
 public:
  explicit NdiFrameForwarder(NdiSender sender) : sender_(std::move(sender)) {}

  // Makes a forwarder on the capture thread; the factory carries its own
  // handle of the sender until then. The device and context are not needed:
  // frames come back through CaptureFrame::read_back.
  static capture::HandlerFactory factory(NdiSender sender);

  // Errors are the read-back's FrameError or the frame record's
  // InvalidFrame, as display text; either ends the capture.
  capture::HandlerResult handle_frame(capture::CaptureFrame& frame,
                                      capture::FrameControl& control) override;
  // No frame follows: the kept buffer goes now rather than at the stop.
  capture::HandlerResult handle_closed() override;

 private:
  Result<VideoFrame, NdiError> build_frame(int32_t width, int32_t height);

  NdiSender sender_;
  // The last frame's pixel buffer, reused while frames keep its size so a
  // steady capture takes no fresh memory per frame.
  std::vector<uint8_t> buffer_;
};

// Copies the mapped rows into the frame's buffer without their padding and
// converts them to straight alpha, or, for an opaque source, sets their
// alpha to 255. Every byte of the buffer is written: any part of a row the
// mapping does not cover becomes zero. Exposed for the benchmark.
void pack_straight_alpha(const capture::MappedFrame& mapped, VideoFrame& frame, bool opaque);

}  // namespace tarvix::ndi
