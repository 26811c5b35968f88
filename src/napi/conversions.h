// Script values to native values, with the messages a script sees when a
// value does not convert.
#pragma once

#include <cstdint>
#include <string>

#include "napi/node_api.h"
#include "napi/status_error.h"

namespace tarvix::napi {

// The full UTF-8 text of a string; anything else fails with
// "Failed to convert JavaScript value `<description>` to native type `String`".
NapiResult<std::string> to_string(napi_env env, napi_value value);

// Node-API's own conversion of a number; anything else fails with
// "Failed to convert napi value <type> to native type `u32`".
NapiResult<std::uint32_t> to_u32(napi_env env, napi_value value);

// The script value `undefined`.
NapiResult<napi_value> undefined_value(napi_env env);

}  // namespace tarvix::napi
