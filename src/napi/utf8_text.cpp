#include "napi/utf8_text.h"

#include "napi/binding_table.h"

namespace tarvix::napi {

Result<std::string, Utf8Failure> utf8_text(napi_env env, napi_value value) {
  std::size_t length = 0;
  napi_status status = api().napi_get_value_string_utf8(env, value, nullptr, 0, &length);
  if (status != napi_ok) return Err{Utf8Failure{status, true}};
  std::string text(length, '\0');
  std::size_t written = 0;
  // The host writes its terminating zero into the string's own terminator.
  status = api().napi_get_value_string_utf8(env, value, text.data(), length + 1, &written);
  if (status != napi_ok) return Err{Utf8Failure{status, false}};
  text.resize(written < length ? written : length);
  return text;
}

}  // namespace tarvix::napi
