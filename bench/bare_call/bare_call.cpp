// A module for the audio benchmark only: script functions that decode the
// same four arguments as ndiOutputSendAudio with the same conversions and
// then do nothing (readFourArguments) or copy the block once
// (readFourArgumentsAndCopy). They show what the audio call costs beyond
// crossing into native code.
#include <cstring>
#include <vector>

#include "napi/buffer.h"
#include "napi/call_entry.h"
#include "napi/conversions.h"
#include "napi/export_list.h"
#include "napi/node_api.h"
#include "napi/registration.h"

namespace tarvix::napi {
namespace {

template <bool kCopy>
Result<void, StatusError> read_four(napi_env env, napi_callback_info info) {
  auto arguments = call_arguments<4>(env, info);
  if (!arguments) return Err{std::move(arguments).error()};
  auto output_id = to_string(env, (*arguments)[0]);
  if (!output_id) return Err{std::move(output_id).error()};
  auto samples = to_buffer(env, (*arguments)[1]);
  if (!samples) return Err{std::move(samples).error()};
  auto sample_rate = to_u32(env, (*arguments)[2]);
  if (!sample_rate) return Err{std::move(sample_rate).error()};
  auto channels = to_u32(env, (*arguments)[3]);
  if (!channels) return Err{std::move(channels).error()};
  if constexpr (kCopy) {
    // Fresh memory each call, as an audio frame record takes it.
    std::vector<std::byte> block(samples->size());
    std::memcpy(block.data(), samples->data(), block.size());
    asm volatile("" : : "r"(block.data()) : "memory");
  }
  return {};
}

napi_value NAPI_CDECL read_only(napi_env env, napi_callback_info info) {
  return finish_call(env, read_four<false>(env, info));
}

napi_value NAPI_CDECL read_and_copy(napi_env env, napi_callback_info info) {
  return finish_call(env, read_four<true>(env, info));
}

NapiResult<napi_value> create_read_only(napi_env env) {
  return create_function(env, "readFourArguments", read_only, "read_four_arguments");
}

NapiResult<napi_value> create_read_and_copy(napi_env env) {
  return create_function(env, "readFourArgumentsAndCopy", read_and_copy,
                         "read_four_arguments_and_copy");
}

[[maybe_unused]] const bool read_listed = add_export("readFourArguments", create_read_only);
[[maybe_unused]] const bool copy_listed =
    add_export("readFourArgumentsAndCopy", create_read_and_copy);

}  // namespace
}  // namespace tarvix::napi

extern "C" NAPI_MODULE_EXPORT napi_value NAPI_CDECL napi_register_module_v1(napi_env env,
                                                                            napi_value exports) {
  return tarvix::napi::register_module(env, exports);
}
