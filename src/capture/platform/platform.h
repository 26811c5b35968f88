// Everything the capture logic asks of the operating system, as one abstract
// interface. The logic is written once against it; the build picks the
// backend (win32 on Windows, x11 on Linux) and tests pass a scripted fake.
//
// Rules shared by all operations:
// - Failures are values (PlatformError: code plus optional message). The
//   backend never throws and never ends the process for a call's failure.
// - Unless stated, every operation may be called from any thread.
// - Objects returned are shared; the logic drops them on its capture thread.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <thread>

#include "capture/platform/capture_service.h"
#include "capture/platform/graphics.h"
#include "capture/platform/platform_error.h"
#include "capture/platform/types.h"

namespace tarvix::capture::platform {

// Names the support checks use.
inline constexpr std::string_view kUniversalApiContract = "Windows.Foundation.UniversalApiContract";
inline constexpr std::string_view kCaptureSessionType =
    "Windows.Graphics.Capture.GraphicsCaptureSession";

using MtaCookie = std::uintptr_t;

// A window's frame rectangle and client height in the same physical pixels.
struct WindowMetrics {
  Rect frame;
  std::int64_t client_height = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // --- Apartment (per thread) -------------------------------------------
  // Joins the process's multithreaded apartment; the cookie undoes it.
  virtual PlatformResult<MtaCookie> increment_mta_usage() = 0;
  virtual PlatformResult<void> decrement_mta_usage(MtaCookie cookie) = 0;
  // Initialises the runtime for the calling thread as multithreaded;
  // uninitialize_runtime undoes one successful call on the same thread.
  virtual PlatformResult<void> initialize_runtime() = 0;
  virtual void uninitialize_runtime() = 0;

  // --- Dispatcher queue --------------------------------------------------
  // Creates a dispatcher queue for the calling thread, without changing its
  // apartment. Its work runs inside that thread's pump. Success with a null
  // pointer means the platform returned no controller.
  virtual PlatformResult<std::shared_ptr<DispatcherQueueController>>
  create_dispatcher_queue_controller() = 0;

  // --- Support checks ----------------------------------------------------
  virtual PlatformResult<bool> is_api_contract_present(std::string_view contract,
                                                       std::uint16_t major) = 0;
  virtual PlatformResult<bool> is_property_present(std::string_view type,
                                                   std::string_view property) = 0;
  // GraphicsCaptureSession.IsSupported.
  virtual PlatformResult<bool> is_capture_supported() = 0;

  // --- Graphics device ---------------------------------------------------
  // D3D11CreateDevice on the default hardware adapter, trying `levels` in
  // order; `flags` are creation flags (kCreateDeviceBgraSupport).
  virtual PlatformResult<DeviceCreation> create_device(std::span<const FeatureLevel> levels,
                                                       std::uint32_t flags) = 0;

  // --- Capture service ---------------------------------------------------
  // The capture item of a window (CreateForWindow). A handle naming no
  // capturable window fails; success with null means the platform made none.
  virtual PlatformResult<std::shared_ptr<CaptureItem>> create_item_for_window(
      WindowHandle window) = 0;
  // A frame pool whose FrameArrived is raised through the calling thread's
  // dispatcher queue (which must exist). Success with null: none made.
  virtual PlatformResult<std::shared_ptr<FramePool>> create_frame_pool(CaptureDevice& device,
                                                                       PixelFormat format,
                                                                       std::int32_t buffers,
                                                                       SizeInt32 size) = 0;

  // --- Thread messages ---------------------------------------------------
  // Waits for the calling thread's next message. The first call gives the
  // thread its message queue. Returns >0 for a message, 0 for the quit
  // message and -1 on failure (the message is then unspecified).
  virtual int get_message(Message& message) = 0;
  virtual void translate_message(const Message& message) = 0;
  // Runs the message: dispatcher work and window procedures happen here.
  virtual void dispatch_message(Message& message) = 0;
  // Queues a message for a thread. Fails with kInvalidThreadId while the
  // thread has no queue yet (retryable) and with another code when the
  // thread has ended or the id names no thread.
  virtual PlatformResult<void> post_thread_message(ThreadId thread, std::uint32_t id,
                                                   std::uintptr_t wparam, std::intptr_t lparam) = 0;
  // Makes the calling thread's get_message return 0 once the messages
  // already queued ahead of it are handled.
  virtual void post_quit_message(int exit_code) = 0;
  // Never 0.
  virtual ThreadId current_thread_id() = 0;
  // The message-queue id of a running std::thread, 0 when the thread is
  // unknown to the platform or has ended.
  virtual ThreadId thread_id_of(std::thread::native_handle_type thread) = 0;

  // --- Window geometry ---------------------------------------------------
  // The window's frame rectangle in physical pixels (extended frame bounds).
  virtual PlatformResult<Rect> extended_frame_bounds(WindowHandle window) = 0;
  // The client rectangle in logical pixels; left and top are 0.
  virtual PlatformResult<Rect> client_rect(WindowHandle window) = 0;
  // Dots per inch of the window's monitor; 96 means 100 % scaling, 0 means
  // the handle names no window.
  virtual std::uint32_t dpi_for_window(WindowHandle window) = 0;
  // Frame bounds and client height in one unit. By default the logical
  // client height is scaled by the window's dpi; a backend that can read
  // both in physical pixels at once overrides this.
  virtual PlatformResult<WindowMetrics> window_metrics(WindowHandle window);
};

// The platform of this process, provided by the backend the build selected.
// Lives until the process ends.
Platform& default_platform();

}  // namespace tarvix::capture::platform
