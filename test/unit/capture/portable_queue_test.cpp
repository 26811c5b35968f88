// The portable thread message queues and dispatcher queue.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "capture/platform/portable/dispatcher_queue.h"
#include "capture/platform/portable/thread_messages.h"

namespace tarvix::capture::platform::portable {
namespace {

// A thread that reports its id, waits for the go, then pumps until quit,
// running dispatched work and recording the message ids it saw.
struct Pumper {
  std::promise<ThreadId> id;
  std::promise<void> go;
  std::vector<std::uint32_t> seen;
  std::shared_ptr<DispatcherQueueController> controller;  // used on the thread only
  std::thread::id thread_id;
  std::thread thread;

  void run(bool with_queue) {
    thread = std::thread([this, with_queue, go = go.get_future()]() mutable {
      if (with_queue) controller = create_dispatcher_queue_controller().value();
      thread_id = std::this_thread::get_id();
      id.set_value(current_thread_id());
      go.wait();
      Message message;
      while (get_message(message) > 0) {
        seen.push_back(message.id);
        dispatch_message(message);
      }
    });
  }
};

TEST(PortableMessages, PostsNeedTheTargetToHaveAskedForMessages) {
  Pumper pumper;
  pumper.run(false);
  const ThreadId id = pumper.id.get_future().get();
  auto early = post_thread_message(id, 0x400, 0, 0);
  ASSERT_FALSE(early.ok());
  EXPECT_EQ(early.error().code, kInvalidThreadId);

  pumper.go.set_value();
  Result<void, PlatformError> posted = Err{PlatformError{}};
  while (!(posted = post_thread_message(id, 0x401, 0, 0)).ok()) {
    ASSERT_EQ(posted.error().code, kInvalidThreadId);
    std::this_thread::yield();
  }
  ASSERT_TRUE(post_thread_message(id, kWmQuit, 0, 0).ok());
  const auto native = pumper.thread.native_handle();
  pumper.thread.join();
  EXPECT_EQ(pumper.seen, std::vector<std::uint32_t>{0x401});

  auto late = post_thread_message(id, 0x402, 0, 0);
  ASSERT_FALSE(late.ok());
  EXPECT_EQ(late.error().code, kThreadEnded);
  EXPECT_EQ(thread_id_of(native), 0u);
}

TEST(PortableMessages, IdsAreNeverReused) {
  std::vector<ThreadId> ids;
  for (int i = 0; i < 4; ++i) {
    std::thread([&] { ids.push_back(current_thread_id()); }).join();
  }
  ids.push_back(current_thread_id());
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
  EXPECT_NE(ids.front(), 0u);
}

TEST(PortableDispatcherQueue, WorkRunsOnTheOwnerAndShutdownCompletesAfterQueuedWork) {
  Pumper pumper;
  pumper.run(true);
  const ThreadId id = pumper.id.get_future().get();
  auto queue = DispatcherQueue::for_thread(id);
  ASSERT_TRUE(queue);
  EXPECT_FALSE(DispatcherQueue::for_current_thread());

  std::vector<std::string> order;  // touched only on the pumping thread
  std::thread::id ran_on;
  ASSERT_TRUE(queue->try_enqueue([&] {
    order.push_back("first");
    ran_on = std::this_thread::get_id();
  }));
  ASSERT_TRUE(queue->try_enqueue([&] {
    EXPECT_FALSE(create_dispatcher_queue_controller().ok()) << "one live queue per thread";
    auto action = pumper.controller->shutdown_queue_async();
    ASSERT_TRUE(action.ok());
    EXPECT_FALSE(DispatcherQueue::for_current_thread()) << "a shutting-down queue is not live";
    EXPECT_FALSE(queue->try_enqueue([&] { order.push_back("too late"); }));
    ASSERT_TRUE(action.value()
                    ->set_completed([&]() -> EventResult {
                      order.push_back("completed");
                      post_quit_message(0);
                      return {};
                    })
                    .ok());
    order.push_back("shutdown");
  }));
  ASSERT_TRUE(queue->try_enqueue([&] { order.push_back("queued before shutdown"); }));
  pumper.go.set_value();
  pumper.thread.join();
  EXPECT_EQ(order,
            (std::vector<std::string>{"first", "shutdown", "queued before shutdown", "completed"}));
  EXPECT_EQ(ran_on, pumper.thread_id);
  EXPECT_FALSE(queue->try_enqueue([] {}));
}

}  // namespace
}  // namespace tarvix::capture::platform::portable
