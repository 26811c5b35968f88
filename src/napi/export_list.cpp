#include "napi/export_list.h"

#include <mutex>

#include "napi/binding_table.h"

namespace tarvix::napi {
namespace {

struct ExportList {
  std::mutex lock;
  std::vector<ExportEntry> entries;
};

// Built on first use, so that initializers in any file can fill it.
ExportList& export_list() {
  static ExportList list;
  return list;
}

}  // namespace

bool add_export(std::string script_name, ExportFactory factory) {
  ExportList& list = export_list();
  std::lock_guard guard(list.lock);
  list.entries.push_back({std::move(script_name), factory});
  return true;
}

std::vector<ExportEntry> export_entries() {
  ExportList& list = export_list();
  std::lock_guard guard(list.lock);
  return list.entries;
}

NapiResult<napi_value> create_function(napi_env env, std::string_view script_name,
                                       napi_callback callback, std::string_view native_name) {
  napi_value function = nullptr;
  const napi_status status = api().napi_create_function(env, script_name.data(), script_name.size(),
                                                        callback, nullptr, &function);
  if (status != napi_ok) {
    return Err{StatusError::from(status,
                                 "Failed to register function `" + std::string(native_name) + "`")};
  }
  return function;
}

}  // namespace tarvix::napi
