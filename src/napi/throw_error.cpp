#include "napi/throw_error.h"

#include "napi/binding_table.h"
#include "support/fatal.h"

namespace tarvix::napi {
namespace {

bool exception_pending(napi_env env) noexcept {
  bool pending = false;
  if (api().napi_is_exception_pending(env, &pending) != napi_ok) {
    fatal("Check exception status failed");
  }
  return pending;
}

void rethrow_pending(napi_env env) noexcept {
  napi_value exception = nullptr;
  if (api().napi_get_and_clear_last_exception(env, &exception) != napi_ok) {
    fatal("Get and clear last exception failed");
  }
  api().napi_throw(env, exception);
}

// Null when the host cannot even build the error (an environment that is
// shutting down); there is then nobody left to tell.
napi_value make_error(napi_env env, const StatusError& error) noexcept {
  const std::string_view code = status_name(error.status);
  napi_value code_value = nullptr;
  napi_value message_value = nullptr;
  napi_value result = nullptr;
  if (api().napi_create_string_utf8(env, code.data(), code.size(), &code_value) != napi_ok ||
      api().napi_create_string_utf8(env, error.reason.data(), error.reason.size(),
                                    &message_value) != napi_ok ||
      api().napi_create_error(env, code_value, message_value, &result) != napi_ok) {
    return nullptr;
  }
  return result;
}

}  // namespace

void throw_error(napi_env env, const StatusError& error) noexcept {
  if (exception_pending(env)) {
    if (error.status != NapiStatus::PendingException) rethrow_pending(env);
    return;
  }
  if (napi_value exception = make_error(env, error)) api().napi_throw(env, exception);
}

}  // namespace tarvix::napi
