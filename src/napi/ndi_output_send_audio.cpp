#include "addon/operations.h"
#include "napi/buffer.h"
#include "napi/call_entry.h"
#include "napi/conversions.h"
#include "napi/export_list.h"
#include "napi/script_functions.h"

namespace tarvix::napi {
namespace {

// Decoded values are released when this returns, before the caller throws or
// creates the result.
Result<void, StatusError> send_audio(napi_env env, napi_callback_info info) {
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
  return from_operation(
      addon::ndi_output_send_audio(*output_id, samples->bytes(), *sample_rate, *channels));
}

napi_value NAPI_CDECL entry(napi_env env, napi_callback_info info) {
  return finish_call(env, send_audio(env, info));
}

}  // namespace

NapiResult<napi_value> create_ndi_output_send_audio(napi_env env) {
  return create_function(env, "ndiOutputSendAudio", entry, "ndi_output_send_audio");
}

}  // namespace tarvix::napi
