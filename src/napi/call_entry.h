// The steps every script function's entry shares: fetch the arguments, and
// turn the outcome into `undefined` or a thrown error.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "napi/binding_table.h"
#include "napi/node_api.h"
#include "napi/status_error.h"

namespace tarvix::napi {

// Exactly N argument slots: missing arguments arrive as `undefined`, extra
// ones are never looked at.
template <std::size_t N>
NapiResult<std::array<napi_value, N>> call_arguments(napi_env env, napi_callback_info info) {
  std::array<napi_value, N> arguments{};
  std::size_t count = N;
  napi_value receiver = nullptr;
  const napi_status status =
      api().napi_get_cb_info(env, info, &count, arguments.data(), &receiver, nullptr);
  if (status != napi_ok) {
    return Err{StatusError::from(status, "Failed to initialize napi function call.")};
  }
  return arguments;
}

// `undefined` on success; otherwise the error is thrown and the result is
// null ("no value").
napi_value finish_call(napi_env env, const Result<void, StatusError>& outcome);

}  // namespace tarvix::napi

namespace tarvix::napi {

// An operation's failure reaches the script with the status GenericFailure.
inline Result<void, StatusError> from_operation(Result<void, std::string>&& outcome) {
  if (outcome) return {};
  return Err{StatusError{NapiStatus::GenericFailure, std::move(outcome).error()}};
}

}  // namespace tarvix::napi
