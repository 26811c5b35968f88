// Reads the full UTF-8 text of a script string in two calls: length, then
// bytes.
#pragma once

#include <string>

#include "napi/node_api.h"
#include "support/result.h"

namespace tarvix::napi {

struct Utf8Failure {
  napi_status status;
  bool at_length;  // the first call (the length query) failed
};

Result<std::string, Utf8Failure> utf8_text(napi_env env, napi_value value);

}  // namespace tarvix::napi
