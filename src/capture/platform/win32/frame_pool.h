// The capture service's frame pool and its frames.
#pragma once

#include "capture/platform/capture_service.h"
#include "capture/platform/win32/com_ptr.h"
#include "capture/platform/win32/winrt_abi.h"

namespace tarvix::capture::platform::win32 {

class Win32Frame final : public Frame {
 public:
  explicit Win32Frame(ComPtr<abi::IDirect3D11CaptureFrame> frame) : frame_(std::move(frame)) {}
  PlatformResult<SizeInt32> content_size() override;
  PlatformResult<std::shared_ptr<Texture>> texture() override;

 private:
  ComPtr<abi::IDirect3D11CaptureFrame> frame_;
};

// Holds a reference to the pool; only close() closes it, so a view made for
// one event call can go without ending the capture.
class Win32FramePool final : public FramePool {
 public:
  explicit Win32FramePool(ComPtr<abi::IDirect3D11CaptureFramePool> pool) : pool_(std::move(pool)) {}
  PlatformResult<void> recreate(CaptureDevice& device, PixelFormat format, std::int32_t buffers,
                                SizeInt32 size) override;
  PlatformResult<std::shared_ptr<Frame>> try_get_next_frame() override;
  PlatformResult<std::shared_ptr<ServiceSession>> create_capture_session(
      CaptureItem& item) override;
  PlatformResult<EventToken> add_frame_arrived(FrameArrivedHandler handler) override;
  PlatformResult<void> remove_frame_arrived(EventToken token) override;
  PlatformResult<void> close() override;

 private:
  ComPtr<abi::IDirect3D11CaptureFramePool> pool_;
};

// Direct3D11CaptureFramePool.Create: FrameArrived comes through the calling
// thread's dispatcher queue.
PlatformResult<std::shared_ptr<FramePool>> create_win32_frame_pool(CaptureDevice& device,
                                                                   PixelFormat format,
                                                                   std::int32_t buffers,
                                                                   SizeInt32 size);

// Close through IClosable, for every object of the service that has it.
PlatformResult<void> close_object(IUnknown* object);

}  // namespace tarvix::capture::platform::win32
