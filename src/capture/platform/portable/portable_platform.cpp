#include "capture/platform/portable/portable_platform.h"

#include "capture/platform/portable/dispatcher_queue.h"
#include "capture/platform/portable/thread_messages.h"

namespace tarvix::capture::platform::portable {

// No apartments here: joining one always succeeds and changes nothing.
PlatformResult<MtaCookie> PortablePlatform::increment_mta_usage() {
  return MtaCookie{1};
}
PlatformResult<void> PortablePlatform::decrement_mta_usage(MtaCookie) {
  return {};
}
PlatformResult<void> PortablePlatform::initialize_runtime() {
  return {};
}
void PortablePlatform::uninitialize_runtime() {}

PlatformResult<std::shared_ptr<DispatcherQueueController>>
PortablePlatform::create_dispatcher_queue_controller() {
  return portable::create_dispatcher_queue_controller();
}

int PortablePlatform::get_message(Message& message) {
  return portable::get_message(message);
}
void PortablePlatform::translate_message(const Message&) {}
void PortablePlatform::dispatch_message(Message& message) {
  portable::dispatch_message(message);
}

PlatformResult<void> PortablePlatform::post_thread_message(ThreadId thread, std::uint32_t id,
                                                           std::uintptr_t wparam,
                                                           std::intptr_t lparam) {
  return portable::post_thread_message(thread, id, wparam, lparam);
}

void PortablePlatform::post_quit_message(int exit_code) {
  portable::post_quit_message(exit_code);
}
ThreadId PortablePlatform::current_thread_id() {
  return portable::current_thread_id();
}
ThreadId PortablePlatform::thread_id_of(std::thread::native_handle_type thread) {
  return portable::thread_id_of(thread);
}

}  // namespace tarvix::capture::platform::portable
