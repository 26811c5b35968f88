// The factories of the three script functions, as the export list holds them.
#pragma once

#include "napi/node_api.h"
#include "napi/status_error.h"

namespace tarvix::napi {

NapiResult<napi_value> create_ndi_output_stop(napi_env env);
NapiResult<napi_value> create_ndi_output_start(napi_env env);
NapiResult<napi_value> create_ndi_output_send_audio(napi_env env);

}  // namespace tarvix::napi
