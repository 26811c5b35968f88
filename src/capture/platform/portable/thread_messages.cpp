#include "capture/platform/portable/thread_messages.h"

#include <pthread.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>

#include "support/fatal.h"

namespace tarvix::capture::platform::portable {
namespace {

struct ThreadQueue {
  ThreadQueue(ThreadId thread_id, std::thread::native_handle_type handle)
      : id(thread_id), native(handle) {}

  const ThreadId id;
  const std::thread::native_handle_type native;
  std::mutex mutex;
  std::condition_variable changed;
  bool has_queue = false;  // set by the thread's first get_message
  bool ended = false;
  std::deque<Message> messages;
};

// Every thread that ever asked for an id and has not ended. Detached threads
// may outlive static destruction at exit, so the table is never destroyed.
class ThreadTable {
 public:
  static ThreadTable& instance() {
    alignas(ThreadTable) static unsigned char storage[sizeof(ThreadTable)];
    static ThreadTable* table = ::new (storage) ThreadTable();
    return *table;
  }

  std::shared_ptr<ThreadQueue> add(std::thread::native_handle_type native) {
    std::lock_guard lock(mutex_);
    if (next_id_ == 0) fatal("thread ids exhausted");
    auto queue = std::make_shared<ThreadQueue>(next_id_++, native);
    threads_.emplace(queue->id, queue);
    return queue;
  }

  void remove(ThreadId id) {
    std::lock_guard lock(mutex_);
    threads_.erase(id);
  }

  std::shared_ptr<ThreadQueue> find(ThreadId id) {
    std::lock_guard lock(mutex_);
    auto it = threads_.find(id);
    return it == threads_.end() ? nullptr : it->second;
  }

  ThreadId find_native(std::thread::native_handle_type native) {
    std::lock_guard lock(mutex_);
    for (const auto& [id, queue] : threads_) {
      if (pthread_equal(queue->native, native)) return id;
    }
    return 0;
  }

 private:
  std::mutex mutex_;
  ThreadId next_id_ = 1;
  std::unordered_map<ThreadId, std::shared_ptr<ThreadQueue>> threads_;
};

// Ends the thread's queue when the thread exits; queued work that never ran
// is destroyed here, on the thread that owned it.
class Registration {
 public:
  Registration() : queue_(ThreadTable::instance().add(pthread_self())) {}
  ~Registration() {
    ThreadTable::instance().remove(queue_->id);
    std::deque<Message> dropped;
    {
      std::lock_guard lock(queue_->mutex);
      queue_->ended = true;
      dropped.swap(queue_->messages);
    }
  }
  Registration(const Registration&) = delete;
  Registration& operator=(const Registration&) = delete;

  ThreadQueue& queue() { return *queue_; }

 private:
  std::shared_ptr<ThreadQueue> queue_;
};

ThreadQueue& own_queue() {
  thread_local Registration registration;
  return registration.queue();
}

// Appends unless the thread has ended; `require_queue` gives the Windows rule
// that plain posts need the thread to have asked for messages.
PlatformResult<void> enqueue(ThreadId thread, Message message, bool require_queue) {
  auto target = ThreadTable::instance().find(thread);
  if (!target) return Err{PlatformError{kThreadEnded, {}}};
  {
    std::lock_guard lock(target->mutex);
    if (target->ended) return Err{PlatformError{kThreadEnded, {}}};
    if (require_queue && !target->has_queue) return Err{PlatformError{kInvalidThreadId, {}}};
    target->messages.push_back(std::move(message));
  }
  target->changed.notify_one();
  return {};
}

}  // namespace

ThreadId current_thread_id() {
  return own_queue().id;
}

ThreadId thread_id_of(std::thread::native_handle_type thread) {
  return ThreadTable::instance().find_native(thread);
}

int get_message(Message& message) {
  ThreadQueue& queue = own_queue();
  // Whatever the previous message still owns goes outside the lock.
  Message previous = std::exchange(message, Message{});
  std::unique_lock lock(queue.mutex);
  queue.has_queue = true;
  queue.changed.wait(lock, [&] { return !queue.messages.empty(); });
  message = std::move(queue.messages.front());
  queue.messages.pop_front();
  return message.id == kWmQuit ? 0 : 1;
}

void dispatch_message(Message& message) {
  if (message.work) {
    auto work = std::move(message.work);
    message.work = nullptr;
    work();
  }
}

PlatformResult<void> post_thread_message(ThreadId thread, std::uint32_t id, std::uintptr_t wparam,
                                         std::intptr_t lparam) {
  return enqueue(thread, Message{0, id, wparam, lparam, {}}, true);
}

void post_quit_message(int exit_code) {
  ThreadQueue& queue = own_queue();
  {
    std::lock_guard lock(queue.mutex);
    queue.messages.push_back(
        Message{0, kWmQuit, static_cast<std::uintptr_t>(static_cast<unsigned>(exit_code)), 0, {}});
  }
  queue.changed.notify_one();
}

bool post_work(ThreadId thread, std::function<void()> work) {
  return enqueue(thread, Message{0, kWmNull, 0, 0, std::move(work)}, false).ok();
}

}  // namespace tarvix::capture::platform::portable
