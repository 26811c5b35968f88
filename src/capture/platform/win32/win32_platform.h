// The platform on Windows: the graphics-capture service, Direct3D 11, the
// COM and WinRT runtime, CoreMessaging's dispatcher queue, Win32 thread
// messages and DWM window bounds.
#pragma once

#include "capture/platform/platform.h"

namespace tarvix::capture::platform::win32 {

class Win32Platform final : public Platform {
 public:
  PlatformResult<MtaCookie> increment_mta_usage() override;
  PlatformResult<void> decrement_mta_usage(MtaCookie cookie) override;
  PlatformResult<void> initialize_runtime() override;
  void uninitialize_runtime() override;

  PlatformResult<std::shared_ptr<DispatcherQueueController>> create_dispatcher_queue_controller()
      override;

  PlatformResult<bool> is_api_contract_present(std::string_view contract,
                                               std::uint16_t major) override;
  PlatformResult<bool> is_property_present(std::string_view type,
                                           std::string_view property) override;
  PlatformResult<bool> is_capture_supported() override;

  PlatformResult<DeviceCreation> create_device(std::span<const FeatureLevel> levels,
                                               std::uint32_t flags) override;

  PlatformResult<std::shared_ptr<CaptureItem>> create_item_for_window(WindowHandle window) override;
  PlatformResult<std::shared_ptr<FramePool>> create_frame_pool(CaptureDevice& device,
                                                               PixelFormat format,
                                                               std::int32_t buffers,
                                                               SizeInt32 size) override;

  int get_message(Message& message) override;
  void translate_message(const Message& message) override;
  void dispatch_message(Message& message) override;
  PlatformResult<void> post_thread_message(ThreadId thread, std::uint32_t id, std::uintptr_t wparam,
                                           std::intptr_t lparam) override;
  void post_quit_message(int exit_code) override;
  ThreadId current_thread_id() override;
  ThreadId thread_id_of(std::thread::native_handle_type thread) override;

  PlatformResult<Rect> extended_frame_bounds(WindowHandle window) override;
  PlatformResult<Rect> client_rect(WindowHandle window) override;
  std::uint32_t dpi_for_window(WindowHandle window) override;
  PlatformResult<WindowMetrics> window_metrics(WindowHandle window) override;
};

}  // namespace tarvix::capture::platform::win32
