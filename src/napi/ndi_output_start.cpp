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
Result<void, StatusError> start(napi_env env, napi_callback_info info) {
  auto arguments = call_arguments<3>(env, info);
  if (!arguments) return Err{std::move(arguments).error()};
  auto window_handle = to_buffer(env, (*arguments)[0]);
  if (!window_handle) return Err{std::move(window_handle).error()};
  auto output_id = to_string(env, (*arguments)[1]);
  if (!output_id) return Err{std::move(output_id).error()};
  auto sender_name = to_string(env, (*arguments)[2]);
  if (!sender_name) return Err{std::move(sender_name).error()};
  return from_operation(addon::ndi_output_start(window_handle->bytes(), *output_id, *sender_name));
}

napi_value NAPI_CDECL entry(napi_env env, napi_callback_info info) {
  return finish_call(env, start(env, info));
}

}  // namespace

NapiResult<napi_value> create_ndi_output_start(napi_env env) {
  return create_function(env, "ndiOutputStart", entry, "ndi_output_start");
}

}  // namespace tarvix::napi
