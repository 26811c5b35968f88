// The part of the platform that non-Windows backends share: apartment calls
// that have nothing to do, the dispatcher queue, and thread messages on the
// portable queues. A backend derives from it and adds the graphics, capture
// service and window geometry operations. Every method stays virtual so a
// backend (or a test fake) can wrap it.
#pragma once

#include "capture/platform/platform.h"

namespace tarvix::capture::platform::portable {

class PortablePlatform : public Platform {
 public:
  PlatformResult<MtaCookie> increment_mta_usage() override;
  PlatformResult<void> decrement_mta_usage(MtaCookie cookie) override;
  PlatformResult<void> initialize_runtime() override;
  void uninitialize_runtime() override;

  PlatformResult<std::shared_ptr<DispatcherQueueController>> create_dispatcher_queue_controller()
      override;

  int get_message(Message& message) override;
  void translate_message(const Message& message) override;
  void dispatch_message(Message& message) override;
  PlatformResult<void> post_thread_message(ThreadId thread, std::uint32_t id, std::uintptr_t wparam,
                                           std::intptr_t lparam) override;
  void post_quit_message(int exit_code) override;
  ThreadId current_thread_id() override;
  ThreadId thread_id_of(std::thread::native_handle_type thread) override;
};

}  // namespace tarvix::capture::platform::portable
