#include "napi/call_entry.h"

#include "napi/conversions.h"
#include "napi/throw_error.h"

namespace tarvix::napi {

napi_value finish_call(napi_env env, const Result<void, StatusError>& outcome) {
  if (!outcome) {
    throw_error(env, outcome.error());
    return nullptr;
  }
  auto undefined = undefined_value(env);
  if (!undefined) {
    throw_error(env, undefined.error());
    return nullptr;
  }
  return *undefined;
}

}  // namespace tarvix::napi
