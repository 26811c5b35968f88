// A per-environment object holding the global `Reflect` and its
// `getOwnPropertyDescriptor`, kept by a reference until the environment goes.
#pragma once

#include "napi/node_api.h"

namespace tarvix::napi {

// Never fails registration: a failure is cleared, exception included.
void keep_support_object(napi_env env) noexcept;

}  // namespace tarvix::napi
