#include "napi/conversions.h"

#include "napi/binding_table.h"
#include "napi/utf8_text.h"
#include "napi/value_description.h"

namespace tarvix::napi {
namespace {

constexpr const char* kStringTarget = " to native type `String`";

// The failed conversion's error, or the error met while describing the value.
StatusError string_error(napi_env env, napi_value value, napi_status status, const char* opening) {
  auto description = describe_value(env, value);
  if (!description) return std::move(description).error();
  return StatusError::from(status, opening + *description + "`" + kStringTarget);
}

}  // namespace

NapiResult<std::string> to_string(napi_env env, napi_value value) {
  auto text = utf8_text(env, value);
  if (text) return std::move(text).value();
  const Utf8Failure failure = text.error();
  return Err{string_error(
      env, value, failure.status,
      failure.at_length ? "Failed to convert JavaScript value `" : "Failed to convert napi `")};
}

NapiResult<std::uint32_t> to_u32(napi_env env, napi_value value) {
  std::uint32_t result = 0;
  const napi_status status = api().napi_get_value_uint32(env, value, &result);
  if (status == napi_ok) return result;
  auto type = value_type(env, value);
  if (!type) return Err{std::move(type).error()};
  return Err{StatusError::from(status, "Failed to convert napi value " +
                                           std::string(value_type_name(*type)) +
                                           " to native type `u32`")};
}

NapiResult<napi_value> undefined_value(napi_env env) {
  napi_value result = nullptr;
  const napi_status status = api().napi_get_undefined(env, &result);
  if (status != napi_ok) {
    return Err{StatusError::from(status, "Failed to create napi undefined value")};
  }
  return result;
}

}  // namespace tarvix::napi
