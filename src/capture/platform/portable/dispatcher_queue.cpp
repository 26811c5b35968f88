#include "capture/platform/portable/dispatcher_queue.h"

#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>

#include "capture/platform/portable/thread_messages.h"

namespace tarvix::capture::platform::portable {
namespace {

class PortableAsyncAction final : public AsyncAction {
 public:
  PlatformResult<void> set_completed(CompletedHandler handler) override {
    std::unique_lock lock(mutex_);
    if (handler_set_) return Err{PlatformError{kIllegalCall, "Completed handler already set"}};
    handler_set_ = true;
    if (!completed_) {
      handler_ = std::move(handler);
      return {};
    }
    lock.unlock();
    // Nobody receives the handler's own result: there is no raiser to report to.
    (void)handler();
    return {};
  }

  void complete() {
    CompletedHandler handler;
    {
      std::lock_guard lock(mutex_);
      completed_ = true;
      handler.swap(handler_);
    }
    if (handler) (void)handler();
  }

 private:
  std::mutex mutex_;
  bool completed_ = false;
  bool handler_set_ = false;
  CompletedHandler handler_;
};

class PortableDispatcherQueue final : public DispatcherQueue {
 public:
  explicit PortableDispatcherQueue(ThreadId thread) : thread_(thread) {}

  ThreadId thread() const override { return thread_; }

  bool try_enqueue(std::function<void()> work) override {
    std::lock_guard lock(mutex_);
    if (!accepting_) return false;
    // Held across the post so no work can slip in behind the shutdown marker.
    return post_work(thread_, std::move(work));
  }

  bool accepting() {
    std::lock_guard lock(mutex_);
    return accepting_;
  }

  // Stops taking work and queues the marker that completes `action` once the
  // work ahead of it has run.
  bool begin_shutdown(std::shared_ptr<PortableAsyncAction> action) {
    std::lock_guard lock(mutex_);
    if (!accepting_) return false;
    accepting_ = false;
    return post_work(thread_, [action = std::move(action)] { action->complete(); });
  }

  void close() {
    std::lock_guard lock(mutex_);
    accepting_ = false;
  }

 private:
  const ThreadId thread_;
  std::mutex mutex_;
  bool accepting_ = true;
};

// Which thread has which queue; entries go when their queue is gone.
class QueueTable {
 public:
  static QueueTable& instance() {
    alignas(QueueTable) static unsigned char storage[sizeof(QueueTable)];
    static QueueTable* table = ::new (storage) QueueTable();
    return *table;
  }

  std::shared_ptr<PortableDispatcherQueue> live(ThreadId thread) {
    std::lock_guard lock(mutex_);
    auto it = queues_.find(thread);
    if (it == queues_.end()) return nullptr;
    auto queue = it->second.lock();
    if (!queue || !queue->accepting()) return nullptr;
    return queue;
  }

  bool bind(ThreadId thread, const std::shared_ptr<PortableDispatcherQueue>& queue) {
    std::lock_guard lock(mutex_);
    auto& slot = queues_[thread];
    if (auto old = slot.lock(); old && old->accepting()) return false;
    slot = queue;
    return true;
  }

  void unbind(ThreadId thread, const PortableDispatcherQueue* queue) {
    std::lock_guard lock(mutex_);
    auto it = queues_.find(thread);
    if (it == queues_.end()) return;
    auto current = it->second.lock();
    if (!current || current.get() == queue) queues_.erase(it);
  }

 private:
  std::mutex mutex_;
  std::unordered_map<ThreadId, std::weak_ptr<PortableDispatcherQueue>> queues_;
};

class PortableQueueController final : public DispatcherQueueController {
 public:
  explicit PortableQueueController(std::shared_ptr<PortableDispatcherQueue> queue)
      : queue_(std::move(queue)) {}

  ~PortableQueueController() override {
    // Without its controller a queue takes no more work.
    queue_->close();
    QueueTable::instance().unbind(queue_->thread(), queue_.get());
  }
  PortableQueueController(const PortableQueueController&) = delete;
  PortableQueueController& operator=(const PortableQueueController&) = delete;

  PlatformResult<std::shared_ptr<AsyncAction>> shutdown_queue_async() override {
    auto action = std::make_shared<PortableAsyncAction>();
    if (!queue_->begin_shutdown(action)) {
      return Err{PlatformError{kIllegalCall, "The dispatcher queue is already shut down"}};
    }
    return std::shared_ptr<AsyncAction>(std::move(action));
  }

 private:
  std::shared_ptr<PortableDispatcherQueue> queue_;
};

}  // namespace

std::shared_ptr<DispatcherQueue> DispatcherQueue::for_current_thread() {
  return QueueTable::instance().live(current_thread_id());
}

std::shared_ptr<DispatcherQueue> DispatcherQueue::for_thread(ThreadId thread) {
  return QueueTable::instance().live(thread);
}

PlatformResult<std::shared_ptr<DispatcherQueueController>> create_dispatcher_queue_controller() {
  const ThreadId thread = current_thread_id();
  auto queue = std::make_shared<PortableDispatcherQueue>(thread);
  if (!QueueTable::instance().bind(thread, queue)) {
    return Err{PlatformError{kIllegalCall, "The thread already has a dispatcher queue"}};
  }
  return std::shared_ptr<DispatcherQueueController>(
      std::make_shared<PortableQueueController>(std::move(queue)));
}

}  // namespace tarvix::capture::platform::portable
