// A dispatcher queue bound to one thread: work queued from any thread runs
// inside that thread's message pump (portable get_message/dispatch_message).
// Backends use it to raise events on the capture thread: keep the
// shared_ptr of the queue current when the event source is created, and
// call try_enqueue from whatever thread notices the event.
#pragma once

#include <functional>
#include <memory>

#include "capture/platform/capture_service.h"
#include "capture/platform/types.h"

namespace tarvix::capture::platform::portable {

class DispatcherQueue {
 public:
  virtual ~DispatcherQueue() = default;

  // The live queue bound to the calling thread, or null when it has none (or
  // its queue was shut down).
  static std::shared_ptr<DispatcherQueue> for_current_thread();
  // The live queue bound to a thread, or null.
  static std::shared_ptr<DispatcherQueue> for_thread(ThreadId thread);

  virtual ThreadId thread() const = 0;

  // Queues work to run on the owning thread inside its pump. Returns false
  // once shutdown has begun or the thread has ended; the work is then
  // destroyed on the calling thread without running.
  virtual bool try_enqueue(std::function<void()> work) = 0;
};

// Binds a new dispatcher queue to the calling thread. Fails with
// kIllegalCall when the thread already has a live one. Shutting the queue
// down (through the controller) lets already queued work run first, then
// calls the Completed handler on the owning thread, inside its pump.
PlatformResult<std::shared_ptr<DispatcherQueueController>> create_dispatcher_queue_controller();

}  // namespace tarvix::capture::platform::portable
