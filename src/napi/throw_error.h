// Turns a StatusError into a script exception: the one place where failures
// of the module become script errors.
#pragma once

#include "napi/node_api.h"
#include "napi/status_error.h"

namespace tarvix::napi {

// An exception that is already pending always wins: the new error is dropped
// and the pending one stays (or is thrown again) as the one the script sees.
void throw_error(napi_env env, const StatusError& error) noexcept;

}  // namespace tarvix::napi
