// What runs when the capture service raises an event: the frame procedure
// (FrameArrived) and the closed procedure (the item's Closed). FrameArrived
// comes through the capture thread's dispatcher queue, so the frame
// procedure runs inside its pump. The closed handler is agile: the service
// calls it on whichever thread raises Closed, so the closed procedure
// touches only the atomic halt flag, the locked handler cell and result
// slot, and thread messages. Neither ends the thread itself: whoever sets
// the halt flag posts the quit message.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "capture/capture_frame.h"
#include "capture/capture_handler.h"
#include "capture/platform/platform.h"

namespace tarvix::capture {

struct FrameProcedureState {
  platform::Platform& platform;
  std::optional<std::uint32_t> title_bar_height;
  HaltFlag halt;
  platform::SizeInt32 last_size;  // the content size the pool was made for
  std::shared_ptr<platform::CaptureDevice> capture_device;
  std::shared_ptr<platform::Device> device;
  std::shared_ptr<platform::DeviceContext> context;
  std::shared_ptr<HandlerCell> handler;
  std::shared_ptr<ResultSlot> result;
  platform::PixelFormat pixel_format;
  platform::ThreadId thread;
  StagingSlot staging;  // touched only by the frame procedure, which never overlaps itself
};

struct ClosedProcedureState {
  platform::Platform& platform;
  HaltFlag halt;
  std::shared_ptr<HandlerCell> handler;
  std::shared_ptr<ResultSlot> result;
  platform::ThreadId thread;
};

// Takes the next frame from `pool` and hands it to the handler; a changed
// content size recreates the pool instead and drops that frame. A failure is
// reported to the platform and does not end the capture, unless its code
// would make the service drop the handler: then the capture ends with it.
platform::EventResult frame_procedure(FrameProcedureState& state, platform::FramePool* pool);

platform::EventResult closed_procedure(ClosedProcedureState& state);

}  // namespace tarvix::capture
