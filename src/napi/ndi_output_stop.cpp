#include "addon/operations.h"
#include "napi/call_entry.h"
#include "napi/conversions.h"
#include "napi/export_list.h"
#include "napi/script_functions.h"

namespace tarvix::napi {
namespace {

Result<void, StatusError> stop(napi_env env, napi_callback_info info) {
  auto arguments = call_arguments<1>(env, info);
  if (!arguments) return Err{std::move(arguments).error()};
  auto output_id = to_string(env, (*arguments)[0]);
  if (!output_id) return Err{std::move(output_id).error()};
  return from_operation(addon::ndi_output_stop(*output_id));
}

napi_value NAPI_CDECL entry(napi_env env, napi_callback_info info) {
  return finish_call(env, stop(env, info));
}

}  // namespace

NapiResult<napi_value> create_ndi_output_stop(napi_env env) {
  return create_function(env, "ndiOutputStop", entry, "ndi_output_stop");
}

}  // namespace tarvix::napi
