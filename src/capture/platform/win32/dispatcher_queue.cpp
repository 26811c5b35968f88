#include "capture/platform/win32/dispatcher_queue.h"

#include "capture/platform/win32/abi_conversions.h"
#include "capture/platform/win32/event_delegates.h"
#include "capture/platform/win32/hresult_error.h"

namespace tarvix::capture::platform::win32 {

PlatformResult<void> Win32AsyncAction::set_completed(CompletedHandler handler) {
  auto delegate = make_completed_delegate(std::move(handler));
  if (!delegate) return Err{std::move(delegate).error()};
  if (const HRESULT hr = action_->put_Completed(delegate.value().get()); FAILED(hr)) {
    return Err{error_from(hr)};
  }
  return {};
}

PlatformResult<std::shared_ptr<AsyncAction>>
Win32DispatcherQueueController::shutdown_queue_async() {
  ComPtr<abi::IAsyncAction> action;
  if (const HRESULT hr = controller_->ShutdownQueueAsync(action.put()); FAILED(hr)) {
    return Err{error_from(hr)};
  }
  if (!action) return std::shared_ptr<AsyncAction>();
  return std::shared_ptr<AsyncAction>(
      std::make_shared<Win32AsyncAction>(library_, std::move(action)));
}

PlatformResult<std::shared_ptr<DispatcherQueueController>> create_current_thread_queue() {
  auto library = SystemLibrary::load(L"CoreMessaging.dll");
  if (!library) return Err{std::move(library).error()};
  auto create = library.value()->function<abi::CreateDispatcherQueueControllerFunction>(
      "CreateDispatcherQueueController");
  if (!create) return Err{std::move(create).error()};
  ComPtr<abi::IDispatcherQueueController> controller;
  const HRESULT hr = create.value()(current_thread_queue_options(), controller.put());
  if (FAILED(hr)) return Err{error_from(hr)};
  if (!controller) return std::shared_ptr<DispatcherQueueController>();
  return std::shared_ptr<DispatcherQueueController>(
      std::make_shared<Win32DispatcherQueueController>(std::move(library).value(),
                                                       std::move(controller)));
}

}  // namespace tarvix::capture::platform::win32
