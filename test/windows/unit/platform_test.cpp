// The Windows platform against the operating system it runs on. Under Wine
// the capture service, CoreMessaging and part of d3d11 are missing; those
// cases then check that the gap comes back as an error value.
#include <windows.h>

#include <future>
#include <thread>

#include "capture/platform/win32/runtime_class.h"
#include "capture/platform/win32/system_library.h"
#include "capture/platform/win32/win32_platform.h"
#include "check.h"

namespace tarvix::capture::platform::win32 {
namespace {

constexpr Hresult kModuleNotFound = hresult_from_win32(ERROR_MOD_NOT_FOUND);
constexpr Hresult kProcNotFound = hresult_from_win32(ERROR_PROC_NOT_FOUND);

// A plain top-level window, destroyed with the holder.
class TestWindow {
 public:
  TestWindow() {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"tarvix backend test";
    RegisterClassW(&window_class);
    window_ = CreateWindowExW(0, window_class.lpszClassName, L"backend test", WS_OVERLAPPEDWINDOW,
                              0, 0, 300, 200, nullptr, nullptr, window_class.hInstance, nullptr);
    if (!window_) check::skip("no window could be created (no display?)");
  }
  ~TestWindow() { DestroyWindow(window_); }
  WindowHandle handle() const { return reinterpret_cast<std::uintptr_t>(window_); }

 private:
  HWND window_ = nullptr;
};

CHECK_CASE("posting to a thread without a queue is retryable until it asks for messages") {
  Win32Platform platform;
  std::promise<void> go;
  std::promise<ThreadId> own_id;
  std::thread worker([&] {
    own_id.set_value(platform.current_thread_id());
    go.get_future().wait();
    Message message;
    // The first call creates the queue; the test's posts then arrive.
    const int first = platform.get_message(message);
    const int second = platform.get_message(message);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
  });
  const ThreadId id = own_id.get_future().get();
  EXPECT_EQ(platform.thread_id_of(worker.native_handle()), id);

  auto early = platform.post_thread_message(id, WM_USER, 0, 0);
  EXPECT(!early.ok());
  EXPECT_EQ(early.error().code, kInvalidThreadId);

  go.set_value();
  while (!platform.post_thread_message(id, WM_USER, 0, 0))
    std::this_thread::yield();
  EXPECT(platform.post_thread_message(id, kWmQuit, 0, 0).ok());
  worker.join();

  // Ended: the id no longer takes messages.
  EXPECT(!platform.post_thread_message(id, WM_USER, 0, 0).ok());
}

CHECK_CASE("a quit posted by a thread to itself ends its next get_message") {
  Win32Platform platform;
  std::thread worker([&] {
    Message message;
    platform.post_quit_message(3);
    EXPECT_EQ(platform.get_message(message), 0);
    EXPECT_EQ(message.id, kWmQuit);
    EXPECT_EQ(message.wparam, 3u);
  });
  worker.join();
}

CHECK_CASE("window geometry of a real window, and errors for a handle of none") {
  Win32Platform platform;
  TestWindow window;
  auto client = platform.client_rect(window.handle());
  EXPECT(client.ok());
  EXPECT(client->left == 0 && client->top == 0);
  EXPECT(client->right > 0 && client->bottom > 0 && client->bottom < 200);
  EXPECT(platform.dpi_for_window(window.handle()) >= 96);
  // DWM may be absent (Wine): either way the answer is a value.
  auto frame = platform.extended_frame_bounds(window.handle());
  if (frame) EXPECT(frame->bottom - frame->top >= client->bottom);
  // Both read per-monitor aware, and the thread's own mode comes back.
  const DPI_AWARENESS_CONTEXT mode = GetThreadDpiAwarenessContext();
  auto metrics = platform.window_metrics(window.handle());
  EXPECT(AreDpiAwarenessContextsEqual(GetThreadDpiAwarenessContext(), mode));
  EXPECT_EQ(metrics.ok(), frame.ok());

  const WindowHandle none = 0x7fff0001;
  auto missing = platform.client_rect(none);
  EXPECT(!missing.ok());
  EXPECT_EQ(missing.error().code, hresult_from_win32(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_EQ(platform.dpi_for_window(none), 0u);
  EXPECT(!platform.extended_frame_bounds(none).ok());
  EXPECT(!platform.window_metrics(none).ok());
}

CHECK_CASE("a library or export that is not there is an error naming it") {
  auto absent = SystemLibrary::load(L"tarvix-no-such-library.dll");
  EXPECT(!absent.ok());
  EXPECT_EQ(absent.error().code, kModuleNotFound);
  EXPECT(absent.error().message.starts_with("tarvix-no-such-library.dll could not be loaded"));

  auto kernel = SystemLibrary::load(L"kernel32.dll");
  EXPECT(kernel.ok());
  auto missing = kernel.value()->function<void (*)()>("TarvixNoSuchExport");
  EXPECT(!missing.ok());
  EXPECT_EQ(missing.error().code, kProcNotFound);
  EXPECT_EQ(missing.error().message, "TarvixNoSuchExport is not exported by kernel32.dll");
  EXPECT(kernel.value()->function<DWORD(WINAPI*)()>("GetCurrentThreadId").ok());
}

CHECK_CASE("strings for the runtime refuse malformed UTF-8") {
  EXPECT(RuntimeString::from_utf8("Windows.Foundation.UniversalApiContract").ok());
  EXPECT(RuntimeString::from_utf8("").ok());
  EXPECT(!RuntimeString::from_utf8("\xff\xfe broken").ok());
}

CHECK_CASE("the apartment and runtime calls pair up on a capture-like thread") {
  Win32Platform platform;
  std::thread worker([&] {
    auto cookie = platform.increment_mta_usage();
    EXPECT(cookie.ok());
    EXPECT(platform.initialize_runtime().ok());
    platform.uninitialize_runtime();
    EXPECT(platform.decrement_mta_usage(cookie.value()).ok());
  });
  worker.join();
}

CHECK_CASE("a missing dispatcher queue service is an error, not a failed load") {
  Win32Platform platform;
  std::thread worker([&] {
    EXPECT(platform.initialize_runtime().ok());
    auto controller = platform.create_dispatcher_queue_controller();
    if (check::running_on_wine()) {
      EXPECT(!controller.ok());
      EXPECT_EQ(controller.error().code, kModuleNotFound);
      EXPECT(controller.error().message.starts_with("CoreMessaging.dll could not be loaded"));
    } else {
      EXPECT(controller.ok() && controller.value());
      auto shutdown = controller.value()->shutdown_queue_async();
      EXPECT(shutdown.ok() && shutdown.value());
    }
    platform.uninitialize_runtime();
  });
  worker.join();
}

CHECK_CASE("the capture service's checks answer with a value either way") {
  Win32Platform platform;
  std::thread worker([&] {
    EXPECT(platform.initialize_runtime().ok());
    auto contract = platform.is_api_contract_present(kUniversalApiContract, 8);
    auto supported = platform.is_capture_supported();
    auto property = platform.is_property_present(kCaptureSessionType, "IsBorderRequired");
    TestWindow window;
    auto item = platform.create_item_for_window(window.handle());
    if (check::running_on_wine()) {
      EXPECT(!supported.ok() || !supported.value());
      EXPECT(!item.ok());
      EXPECT(item.error().code < 0);
    } else {
      EXPECT(contract.ok() && supported.ok() && property.ok());
    }
    platform.uninitialize_runtime();
  });
  worker.join();
}

CHECK_CASE("a device, when one can be made, copies and maps a staging texture") {
  Win32Platform platform;
  const FeatureLevel levels[] = {FeatureLevel::Level11_1, FeatureLevel::Level11_0,
                                 FeatureLevel::Level10_1, FeatureLevel::Level10_0};
  auto made = platform.create_device(levels, kCreateDeviceBgraSupport);
  if (!made || !made->device || !made->context) check::skip("no Direct3D 11 device here");
  const TextureDesc desc{.width = 5,
                         .height = 3,
                         .mip_levels = 1,
                         .array_size = 1,
                         .format = static_cast<std::uint32_t>(kPixelFormatBgra8),
                         .sample_count = 1,
                         .usage = kUsageStaging,
                         .cpu_access_flags = kCpuAccessRead | kCpuAccessWrite};
  auto source = made->device->create_texture_2d(desc);
  auto staging = made->device->create_texture_2d(desc);
  EXPECT(source.ok() && staging.ok() && source.value() && staging.value());
  EXPECT(source.value()->desc() == desc);
  made->context->copy_resource(*staging.value(), *source.value());
  auto mapped = made->context->map(*staging.value(), 0, kMapReadWrite, 0);
  EXPECT(mapped.ok());
  EXPECT(mapped->data != nullptr && mapped->row_pitch >= 5 * 4);
  made->context->unmap(*staging.value(), 0);

  auto capture_device = made->device->create_capture_device();
  if (check::running_on_wine() && !capture_device) {
    EXPECT_EQ(capture_device.error().code, kProcNotFound);
    EXPECT_EQ(capture_device.error().message,
              "CreateDirect3D11DeviceFromDXGIDevice is not exported by d3d11.dll");
  } else {
    EXPECT(capture_device.ok() && capture_device.value());
  }
}

}  // namespace
}  // namespace tarvix::capture::platform::win32
