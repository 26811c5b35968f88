// The three event handler objects the backend hands to the platform: frame
// arrived (frame pool), closed (capture item) and completed (the dispatcher
// queue's shutdown action).
#pragma once

#include "capture/platform/capture_service.h"
#include "capture/platform/win32/agile_delegate.h"

namespace tarvix::capture::platform::win32 {

PlatformResult<ComPtr<abi::IFrameArrivedHandler>> make_frame_arrived_delegate(
    FrameArrivedHandler handler);
PlatformResult<ComPtr<abi::IItemClosedHandler>> make_item_closed_delegate(ClosedHandler handler);
PlatformResult<ComPtr<abi::IAsyncActionCompletedHandler>> make_completed_delegate(
    CompletedHandler handler);

}  // namespace tarvix::capture::platform::win32
