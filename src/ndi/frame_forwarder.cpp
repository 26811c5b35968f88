#include "ndi/frame_forwarder.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "ndi/straight_alpha.h"
#include "support/fatal.h"

namespace tarvix::ndi {

capture::HandlerFactory NdiFrameForwarder::factory(NdiSender sender) {
  return [sender = std::move(sender)](std::shared_ptr<capture::platform::Device>,
                                      std::shared_ptr<capture::platform::DeviceContext>)
             -> std::unique_ptr<capture::CaptureHandler> {
    return std::make_unique<NdiFrameForwarder>(sender);
  };
}

void pack_straight_alpha(const capture::MappedFrame& mapped, VideoFrame& frame, bool opaque) {
  const auto rows = static_cast<uint32_t>(frame.height());
  if (mapped.height() < rows || mapped.data() == nullptr) {
    fatal("read-back mapping is smaller than the frame it was made from");
  }
  const std::size_t stride = static_cast<std::size_t>(frame.line_stride());
  // A pitch below the packed row width cannot come from a consistent
  // mapping, but it would only shorten rows: the rest stays zero.
  const std::size_t row_bytes = std::min<std::size_t>(stride, mapped.row_pitch());
  uint8_t* out = frame.data().data();
  // A source without alpha needs no arithmetic, only its padding byte set.
  const auto copy = opaque ? copy_opaque : copy_straight_alpha;
  copy(mapped.data(), mapped.row_pitch(), out, stride, row_bytes, rows);
  // The buffer may hold an earlier frame: what a short row leaves must read
  // as it would in a fresh zero-filled buffer.
  if (row_bytes == stride) return;
  for (uint32_t r = 0; r < rows; ++r) {
    std::memset(out + r * stride + row_bytes, 0, stride - row_bytes);
  }
}

Result<VideoFrame, NdiError> NdiFrameForwarder::build_frame(int32_t width, int32_t height) {
  // pack_straight_alpha writes every byte, so a kept buffer of the same
  // size is not zeroed again. A new size lets go of the old buffer instead
  // of keeping the larger of the two; the record checks the size before it
  // allocates.
  return VideoFrame::build_bgra_to_overwrite(width, height, std::exchange(buffer_, {}));
}

capture::HandlerResult NdiFrameForwarder::handle_frame(capture::CaptureFrame& frame,
                                                       capture::FrameControl&) {
  // Sizes above the signed range arrive negative and are refused by the record.
  const auto width = static_cast<int32_t>(frame.width());
  const auto height = static_cast<int32_t>(frame.height());
  // The size is checked before anything is read: a refused frame costs
  // neither the read nor its memory.
  auto video = build_frame(width, height);
  if (!video) return Err{capture::HandlerError{video.error().display()}};
  auto mapped = frame.read_back();
  if (!mapped) {
    buffer_ = std::move(video).value().take_buffer();
    // Pixels that were not read from the window are never sent.
    if (capture::frame_not_ready(mapped.error())) return {};
    return Err{capture::HandlerError{display(mapped.error())}};
  }
  pack_straight_alpha(mapped.value(), video.value(), frame.opaque());
  sender_.send_video(video.value());
  buffer_ = std::move(video).value().take_buffer();
  return {};
}

capture::HandlerResult NdiFrameForwarder::handle_closed() {
  std::vector<uint8_t>().swap(buffer_);
  return {};
}

}  // namespace tarvix::ndi
