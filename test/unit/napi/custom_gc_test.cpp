// The custom GC function's life and the release of Buffer views, driven
// through a binding table of fakes that record what they are asked to do.
#include "napi/custom_gc.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "napi/binding_table.h"
#include "napi/buffer.h"

namespace tarvix::napi {
namespace {

const auto kEnv = reinterpret_cast<napi_env>(std::intptr_t{0xe0});
const auto kRef = reinterpret_cast<napi_ref>(std::intptr_t{0x7e});
const auto kFunction = reinterpret_cast<napi_threadsafe_function>(std::intptr_t{0xf0});

struct Recorder {
  std::mutex lock;
  std::vector<std::string> calls;
  std::uint32_t remaining_after_unref = 0;
  napi_finalize finalize = nullptr;
  void* finalize_data = nullptr;
  napi_threadsafe_function_call_js call_js = nullptr;

  void record(std::string call) {
    std::lock_guard guard(lock);
    calls.push_back(std::move(call));
  }
  // What the host does when the environment goes; it frees the finalize data.
  void finalize_function() {
    if (finalize) std::exchange(finalize, nullptr)(kEnv, finalize_data, nullptr);
  }
  std::vector<std::string> take() {
    std::lock_guard guard(lock);
    return std::exchange(calls, {});
  }
} recorder;

napi_status create_reference(napi_env, napi_value, std::uint32_t, napi_ref* result) {
  *result = kRef;
  return napi_ok;
}
napi_status get_buffer_info(napi_env, napi_value, void** data, std::size_t* length) {
  *data = nullptr;  // as the host reports an empty Buffer
  *length = 0;
  return napi_ok;
}
napi_status reference_unref(napi_env, napi_ref, std::uint32_t* result) {
  recorder.record("unref");
  *result = recorder.remaining_after_unref;
  return napi_ok;
}
napi_status delete_reference(napi_env, napi_ref) {
  recorder.record("delete");
  return napi_ok;
}
napi_status create_threadsafe_function(napi_env, napi_value, napi_value, napi_value, std::size_t,
                                       std::size_t, void* finalize_data, napi_finalize finalize,
                                       void*, napi_threadsafe_function_call_js call_js,
                                       napi_threadsafe_function* result) {
  recorder.finalize = finalize;
  recorder.finalize_data = finalize_data;
  recorder.call_js = call_js;
  *result = kFunction;
  return napi_ok;
}
napi_status call_threadsafe_function(napi_threadsafe_function function, void* data,
                                     napi_threadsafe_function_call_mode mode) {
  const bool expected = function == kFunction && data == kRef && mode == napi_tsfn_blocking;
  recorder.record(expected ? "queue" : "queue with unexpected arguments");
  return napi_closing;  // the environment is going: a release must shrug this off
}

HostFunction fake(const char* name, void*) {
  static const std::map<std::string, HostFunction> fakes = {
      {"napi_create_reference", reinterpret_cast<HostFunction>(&create_reference)},
      {"napi_get_buffer_info", reinterpret_cast<HostFunction>(&get_buffer_info)},
      {"napi_reference_unref", reinterpret_cast<HostFunction>(&reference_unref)},
      {"napi_delete_reference", reinterpret_cast<HostFunction>(&delete_reference)},
      {"napi_create_threadsafe_function",
       reinterpret_cast<HostFunction>(&create_threadsafe_function)},
      {"napi_call_threadsafe_function", reinterpret_cast<HostFunction>(&call_threadsafe_function)},
  };
  const auto found = fakes.find(name);
  return found == fakes.end() ? nullptr : found->second;
}

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
