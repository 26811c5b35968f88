// The functions the module puts on the exports object, entered by load-time
// initializers before the host registers the module.
#pragma once

#include <string>
#include <vector>

#include "napi/node_api.h"
#include "napi/status_error.h"

namespace tarvix::napi {

// Creates the script function in an environment.
using ExportFactory = NapiResult<napi_value> (*)(napi_env env);

struct ExportEntry {
  std::string script_name;
  ExportFactory factory;
};

// Appends to the list; returns true so that initializers can use it.
bool add_export(std::string script_name, ExportFactory factory);

// A copy of the list, in the order it was filled.
std::vector<ExportEntry> export_entries();

// The helper factories share: a function with no data, failing with
// "Failed to register function `<native name>`".
NapiResult<napi_value> create_function(napi_env env, std::string_view script_name,
                                       napi_callback callback, std::string_view native_name);

}  // namespace tarvix::napi
