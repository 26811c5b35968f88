// What runs when the capture service raises an event: the frame procedure
// (FrameArrived) and the closed procedure (the item's Closed). Both run on
// the capture thread inside its message pump; neither ends the thread
// itself, they set the halt flag and post the quit message.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

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
// reported to the platform and does not end the capture.
platform::EventResult frame_procedure(FrameProcedureState& state, platform::FramePool* pool);

platform::EventResult closed_procedure(ClosedProcedureState& state);

}  // namespace tarvix::capture
