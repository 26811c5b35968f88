// The dispatcher queue of a capture thread (CoreMessaging), and the action
// its shutdown returns.
#pragma once

#include <memory>

#include "capture/platform/capture_service.h"
#include "capture/platform/win32/com_ptr.h"
#include "capture/platform/win32/system_library.h"
#include "capture/platform/win32/winrt_abi.h"

namespace tarvix::capture::platform::win32 {

class Win32AsyncAction final : public AsyncAction {
 public:
  Win32AsyncAction(std::shared_ptr<SystemLibrary> library, ComPtr<abi::IAsyncAction> action)
      : library_(std::move(library)), action_(std::move(action)) {}
  PlatformResult<void> set_completed(CompletedHandler handler) override;

 private:
  std::shared_ptr<SystemLibrary> library_;  // outlives the action
  ComPtr<abi::IAsyncAction> action_;
};

class Win32DispatcherQueueController final : public DispatcherQueueController {
 public:
  Win32DispatcherQueueController(std::shared_ptr<SystemLibrary> library,
                                 ComPtr<abi::IDispatcherQueueController> controller)
      : library_(std::move(library)), controller_(std::move(controller)) {}
  PlatformResult<std::shared_ptr<AsyncAction>> shutdown_queue_async() override;

 private:
  std::shared_ptr<SystemLibrary> library_;  // outlives the controller
  ComPtr<abi::IDispatcherQueueController> controller_;
};

// CreateDispatcherQueueController for the calling thread, found in
// CoreMessaging.dll at run time.
PlatformResult<std::shared_ptr<DispatcherQueueController>> create_current_thread_queue();

}  // namespace tarvix::capture::platform::win32
