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
using Calls = std::vector<std::string>;

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
};

// A view taken on a thread of its own that registered an environment.
Buffer view_from_registered_thread() {
  std::optional<Buffer> view;
  std::thread([&] {
    create_custom_gc(kEnv);
    view.emplace(std::move(to_buffer(kEnv, nullptr)).value());
  }).join();
  return std::move(*view);
}

TEST_F(CustomGcTest, AViewReleasedOffItsThreadIsQueuedToItsEnvironment) {
  {
    Buffer view = view_from_registered_thread();
    EXPECT_NE(view.data(), nullptr) << "an empty Buffer's view points nowhere";
  }
  EXPECT_EQ(recorder.take(), Calls{"queue"});
  // On the script thread, a reference still counted elsewhere is kept.
  recorder.remaining_after_unref = 1;
  recorder.call_js(kEnv, nullptr, nullptr, kRef);
  recorder.remaining_after_unref = 0;
  recorder.call_js(kEnv, nullptr, nullptr, kRef);
  recorder.call_js(nullptr, nullptr, nullptr, kRef);
  EXPECT_EQ(recorder.take(), (Calls{"unref", "unref", "delete"}));
}

// Once the host has finalized the function (its environment is going), a
// view releases nothing; a finalizer whose state went with its thread
// touches nothing.
TEST_F(CustomGcTest, AfterItsFunctionIsFinalizedNothingIsReleased) {
  std::optional<Buffer> view = view_from_registered_thread();
  recorder.finalize_function();
  view.reset();
  std::thread([] { create_custom_gc(kEnv); }).join();
  recorder.finalize_function();
  EXPECT_EQ(recorder.take(), Calls{});
}

}  // namespace
}  // namespace tarvix::napi
