// The custom GC function's life and the release of Buffer views, driven
// through a binding table of fakes that record what they are asked to do.
#include "napi/custom_gc.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "fakes/fake_node_api.h"
#include "napi/buffer.h"

namespace tarvix::napi {
namespace {

using namespace fakes;

// Every function the fakes leave out reports itself on stderr; the calls that
// matter here all have fakes.
class CustomGcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bind_table(fake, nullptr);
    recorder.take();
    ::testing::internal::CaptureStderr();
  }
  void TearDown() override {
    recorder.finalize_function();
    ::testing::internal::GetCapturedStderr();
    reset_table();
  }

  // A view taken on a thread of its own that registered an environment.
  static Buffer view_from_registered_thread() {
    std::optional<Buffer> view;
    std::thread([&] {
      create_custom_gc(kEnv);
      view.emplace(std::move(to_buffer(kEnv, nullptr)).value());
    }).join();
    return std::move(*view);
  }

  static void on_new_thread(auto&& work) { std::thread(std::forward<decltype(work)>(work)).join(); }
};

TEST_F(CustomGcTest, AViewIsReleasedDirectlyOnTheThreadThatTookIt) {
  on_new_thread([] {
    auto view = to_buffer(kEnv, nullptr);  // no custom GC on this thread
    ASSERT_TRUE(view.ok());
    EXPECT_NE(view->data(), nullptr);
    EXPECT_EQ(view->size(), 0u);
  });
  on_new_thread([] {
    create_custom_gc(kEnv);
    auto view = to_buffer(kEnv, nullptr);
  });
  EXPECT_EQ(recorder.take(), (std::vector<std::string>{"unref", "delete", "unref", "delete"}));
}

TEST_F(CustomGcTest, AViewReleasedElsewhereIsQueuedToItsEnvironment) {
  {
    Buffer view = view_from_registered_thread();
    EXPECT_EQ(current_custom_gc(), nullptr);
  }
  EXPECT_EQ(recorder.take(), std::vector<std::string>{"queue"});

  // On the script thread, a reference still counted elsewhere is kept.
  recorder.remaining_after_unref = 1;
  recorder.call_js(kEnv, nullptr, nullptr, kRef);
  recorder.remaining_after_unref = 0;
  recorder.call_js(kEnv, nullptr, nullptr, kRef);
  recorder.call_js(nullptr, nullptr, nullptr, kRef);
  EXPECT_EQ(recorder.take(), (std::vector<std::string>{"unref", "unref", "delete"}));
}

TEST_F(CustomGcTest, AfterTheEnvironmentFinalizedItsFunctionViewsReleaseNothing) {
  Buffer view = view_from_registered_thread();
  recorder.finalize_function();
  on_new_thread([moved = std::move(view)] {});
  EXPECT_EQ(recorder.take(), std::vector<std::string>{});
}

TEST_F(CustomGcTest, AFinalizerThatOutlivesItsStateDoesNothing) {
  on_new_thread([] { create_custom_gc(kEnv); });  // the state goes with the thread
  recorder.finalize_function();
  EXPECT_EQ(recorder.take(), std::vector<std::string>{});
}

}  // namespace
}  // namespace tarvix::napi
