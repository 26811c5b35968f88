// What the module's entry point does for each environment that loads it.
#pragma once

#include "napi/node_api.h"

namespace tarvix::napi {

// Binds Node-API from the host (once per process), sets up the environment's
// custom GC function and support object, and puts every export-list function
// on `exports`. Failures after binding are thrown into the script and
// registration goes on; a host without Node-API ends the process.
napi_value register_module(napi_env env, napi_value exports);

}  // namespace tarvix::napi
