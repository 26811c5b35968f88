// A Node-API host for the binding table, as far as Buffer views and the
// custom GC function use it: each function records what it is asked to do
// and answers as the host would while its environment is going away.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "napi/binding_table.h"

namespace tarvix::napi::fakes {

inline const auto kEnv = reinterpret_cast<napi_env>(std::intptr_t{0xe0});
inline const auto kRef = reinterpret_cast<napi_ref>(std::intptr_t{0x7e});
inline const auto kFunction = reinterpret_cast<napi_threadsafe_function>(std::intptr_t{0xf0});

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
};
inline Recorder recorder;

inline napi_status create_reference(napi_env, napi_value, std::uint32_t, napi_ref* result) {
  *result = kRef;
  return napi_ok;
}
inline napi_status get_buffer_info(napi_env, napi_value, void** data, std::size_t* length) {
  *data = nullptr;  // as the host reports an empty Buffer
  *length = 0;
  return napi_ok;
}
inline napi_status reference_unref(napi_env, napi_ref, std::uint32_t* result) {
  recorder.record("unref");
  *result = recorder.remaining_after_unref;
  return napi_ok;
}
inline napi_status delete_reference(napi_env, napi_ref) {
  recorder.record("delete");
  return napi_ok;
}
inline napi_status create_threadsafe_function(napi_env, napi_value, napi_value, napi_value,
                                              std::size_t, std::size_t, void* finalize_data,
                                              napi_finalize finalize, void*,
                                              napi_threadsafe_function_call_js call_js,
                                              napi_threadsafe_function* result) {
  recorder.finalize = finalize;
  recorder.finalize_data = finalize_data;
  recorder.call_js = call_js;
  *result = kFunction;
  return napi_ok;
}
inline napi_status call_threadsafe_function(napi_threadsafe_function function, void* data,
                                            napi_threadsafe_function_call_mode mode) {
  const bool expected = function == kFunction && data == kRef && mode == napi_tsfn_blocking;
  recorder.record(expected ? "queue" : "queue with unexpected arguments");
  return napi_closing;  // the environment is going: a release must shrug this off
}

inline HostFunction fake(const char* name, void*) {
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

}  // namespace tarvix::napi::fakes
