// The error record in which every failure leaves the module for the script.
#pragma once

#include <string>

#include "napi/napi_status.h"
#include "napi/node_api.h"
#include "support/result.h"

namespace tarvix::napi {

struct StatusError {
  NapiStatus status = NapiStatus::Ok;
  std::string reason;

  // From the raw status of a failed Node-API call.
  static StatusError from(napi_status raw, std::string reason) {
    return {status_from_raw(static_cast<int>(raw)), std::move(reason)};
  }
};

template <class T>
using NapiResult = Result<T, StatusError>;

}  // namespace tarvix::napi
