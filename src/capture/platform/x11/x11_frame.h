// One frame taken from an X11 frame pool. Its texture reads the window when
// it is copied; releasing the frame frees the pool for the next one.
#pragma once

#include <memory>

#include "capture/platform/capture_service.h"
#include "capture/platform/x11/window_capture.h"
#include "capture/platform/x11/x11_graphics.h"

namespace tarvix::capture::platform::x11 {

class WindowTexture final : public SourceTexture {
 public:
  WindowTexture(std::shared_ptr<WindowCapture> capture, const TextureDesc& desc)
      : capture_(std::move(capture)), desc_(desc) {}
  TextureDesc desc() const override { return desc_; }
  PlatformResult<void> read_into(const PixelBuffer& into, std::uint32_t pitch) override;

 private:
  std::shared_ptr<WindowCapture> capture_;
  TextureDesc desc_;
};

class X11Frame final : public Frame {
 public:
  X11Frame(std::shared_ptr<WindowCapture> capture, SizeInt32 content, SizeInt32 pool_size,
           PixelFormat format);
  X11Frame(const X11Frame&) = delete;
  X11Frame& operator=(const X11Frame&) = delete;
  ~X11Frame() override;

  PlatformResult<SizeInt32> content_size() override { return content_; }
  PlatformResult<std::shared_ptr<Texture>> texture() override;

 private:
  std::shared_ptr<WindowCapture> capture_;
  SizeInt32 content_;
  TextureDesc desc_;
};

}  // namespace tarvix::capture::platform::x11
