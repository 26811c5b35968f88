// How conversion messages describe the script value they could not convert.
#pragma once

#include <string>
#include <string_view>

#include "napi/node_api.h"
#include "napi/status_error.h"

namespace tarvix::napi {

// "Undefined", "Null", "Boolean", "Number", "String", "Symbol", "Object",
// "Function", "External"; anything else (a BigInt among them) is "Unknown".
std::string_view value_type_name(napi_valuetype type) noexcept;

// The value's type, or the failed call's status with an empty reason.
NapiResult<napi_valuetype> value_type(napi_env env, napi_value value);

// Booleans and numbers as their type and text ("Number 42 "), objects as
// "Object " and their JSON text, functions as "function f(..) ", anything else
// by its type name. An exception thrown while describing (a throwing toJSON)
// is left pending and reported as PendingException.
NapiResult<std::string> describe_value(napi_env env, napi_value value);

// The full UTF-8 text of a script string.
NapiResult<std::string> read_utf8(napi_env env, napi_value value);

}  // namespace tarvix::napi
