#include "napi/value_description.h"

#include "napi/binding_table.h"
#include "napi/utf8_text.h"

namespace tarvix::napi {
namespace {

NapiResult<napi_value> named_property(napi_env env, napi_value object, const char* name) {
  napi_value result = nullptr;
  const napi_status status = api().napi_get_named_property(env, object, name, &result);
  if (status != napi_ok)
    return Err{StatusError::from(status, std::string("Failed to get ") + name)};
  return result;
}

NapiResult<std::string> describe_primitive(napi_env env, napi_value value, napi_valuetype type) {
  napi_value text = nullptr;
  const napi_status status = api().napi_coerce_to_string(env, value, &text);
  if (status != napi_ok) return Err{StatusError::from(status, "Failed to coerce value to string")};
  auto utf8 = read_utf8(env, text);
  if (!utf8) return Err{std::move(utf8).error()};
  return std::string(value_type_name(type)) + " " + *utf8 + " ";
}

NapiResult<std::string> describe_object(napi_env env, napi_value value) {
  napi_value global = nullptr;
  const napi_status status = api().napi_get_global(env, &global);
  if (status != napi_ok) return Err{StatusError::from(status, "Failed to get global object")};
  auto json = named_property(env, global, "JSON");
  if (!json) return Err{std::move(json).error()};
  auto stringify = named_property(env, *json, "stringify");
  if (!stringify) return Err{std::move(stringify).error()};
  napi_value text = nullptr;
  const napi_status called = api().napi_call_function(env, *json, *stringify, 1, &value, &text);
  if (called != napi_ok) return Err{StatusError::from(called, "Failed to call JSON.stringify")};
  // JSON.stringify gives undefined for what it cannot represent (a toJSON
  // that returns nothing); say so rather than fail to describe the value.
  auto text_type = value_type(env, text);
  if (!text_type) return Err{std::move(text_type).error()};
  if (*text_type == napi_undefined) return std::string("Object undefined");
  auto utf8 = read_utf8(env, text);
  if (!utf8) return Err{std::move(utf8).error()};
  return "Object " + *utf8;
}

NapiResult<std::string> describe_function(napi_env env, napi_value value) {
  auto name = named_property(env, value, "name");
  if (!name) return Err{std::move(name).error()};
  // A function whose `name` is not a string (a static name() method) is
  // described like an anonymous one.
  auto name_type = value_type(env, *name);
  if (!name_type) return Err{std::move(name_type).error()};
  std::string text;
  if (*name_type == napi_string) {
    auto utf8 = read_utf8(env, *name);
    if (!utf8) return Err{std::move(utf8).error()};
    text = std::move(*utf8);
  }
  return "function " + (text.empty() ? std::string("anonymous") : text) + "(..) ";
}

}  // namespace

std::string_view value_type_name(napi_valuetype type) noexcept {
  switch (type) {
    case napi_undefined:
      return "Undefined";
    case napi_null:
      return "Null";
    case napi_boolean:
      return "Boolean";
    case napi_number:
      return "Number";
    case napi_string:
      return "String";
    case napi_symbol:
      return "Symbol";
    case napi_object:
      return "Object";
    case napi_function:
      return "Function";
    case napi_external:
      return "External";
    default:
      return "Unknown";
  }
}

NapiResult<napi_valuetype> value_type(napi_env env, napi_value value) {
  napi_valuetype type = napi_undefined;
  const napi_status status = api().napi_typeof(env, value, &type);
  if (status != napi_ok) return Err{StatusError::from(status, "")};
  return type;
}

NapiResult<std::string> describe_value(napi_env env, napi_value value) {
  auto type = value_type(env, value);
  if (!type) return Err{std::move(type).error()};
  switch (*type) {
    case napi_boolean:
    case napi_number:
      return describe_primitive(env, value, *type);
    case napi_object:
      return describe_object(env, value);
    case napi_function:
      return describe_function(env, value);
    default:
      return std::string(value_type_name(*type));
  }
}

NapiResult<std::string> read_utf8(napi_env env, napi_value value) {
  auto text = utf8_text(env, value);
  if (!text) return Err{StatusError::from(text.error().status, "Failed to read string")};
  return std::move(text).value();
}

}  // namespace tarvix::napi
