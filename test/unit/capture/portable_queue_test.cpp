// The portable thread message queues and dispatcher queue.
#include <gtest/gtest.h>

#include <future>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "capture/platform/portable/dispatcher_queue.h"
#include "capture/platform/portable/thread_messages.h"

namespace tarvix::capture::platform::portable {
namespace {

// A quit posted to an ended thread's id must never reach a newer thread.
TEST(PortableMessages, IdsAreNeverReused) {
  std::set<ThreadId> ids{current_thread_id()};
  for (int i = 0; i < 4; ++i)
    std::thread([&] { ids.insert(current_thread_id()); }).join();
  EXPECT_EQ(ids.size(), 5u);
  EXPECT_EQ(ids.count(0), 0u);
}

// Work queued before a shutdown still runs, on the owning thread, before
// the shutdown completes; once it began, nothing more is taken.
TEST(PortableDispatcherQueue, ShutdownCompletesAfterTheWorkQueuedBeforeIt) {
  std::promise<std::shared_ptr<DispatcherQueue>> made;
  std::promise<void> go;
  std::vector<std::string> order;  // touched only on the pumping thread
  std::thread pumper([&, go = go.get_future()] {
    auto controller = create_dispatcher_queue_controller().value();
    auto queue = DispatcherQueue::for_current_thread();
    made.set_value(queue);
    go.wait();
    Message message;
    while (get_message(message) > 0) {
      dispatch_message(message);
      if (order.size() != 1) continue;
      EXPECT_FALSE(create_dispatcher_queue_controller().ok()) << "one live queue per thread";
      auto action = controller->shutdown_queue_async();
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
    }
  });
  const auto queue = made.get_future().get();
  for (const char* work : {"first", "queued before shutdown"})
    EXPECT_TRUE(queue->try_enqueue([&order, work] { order.push_back(work); }));
  go.set_value();
  pumper.join();
  EXPECT_EQ(order, (std::vector<std::string>{"first", "queued before shutdown", "completed"}));
  EXPECT_FALSE(queue->try_enqueue([] {}));
}

}  // namespace
}  // namespace tarvix::capture::platform::portable
