#include "napi/registration.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "napi/binding_table.h"
#include "napi/custom_gc.h"
#include "napi/export_list.h"
#include "napi/host_library.h"
#include "napi/support_object.h"
#include "napi/throw_error.h"
#include "support/fatal.h"

namespace tarvix::napi {
namespace {

std::atomic<int> registrations_begun{0};
std::atomic<bool> registration_completed{false};

HostFunction find_in(const char* name, void* library) {
  return static_cast<const HostLibrary*>(library)->find(name);
}

// Bound once: later environments would only write the same values again,
// while other threads may already be calling through the table.
void bind_host() {
  static std::once_flag bound;
  std::call_once(bound, [] {
    auto host = open_host(host_candidates());
    if (!host) fatal("no module of this process provides Node-API: " + host.error());
    bind_table(find_in, &host.value());
  });
}

void wait_for_first_registration() {
  if (registrations_begun.fetch_add(1) == 0) return;
  while (!registration_completed.load())
    std::this_thread::yield();
}

void set_exports(napi_env env, napi_value exports) {
  for (const ExportEntry& entry : export_entries()) {
    auto function = entry.factory(env);
    if (!function) {
      throw_error(env, function.error());
      continue;
    }
    const napi_status status =
        api().napi_set_named_property(env, exports, entry.script_name.c_str(), *function);
    if (status != napi_ok) {
      throw_error(
          env, StatusError::from(status, "Failed to register export `" + entry.script_name + "`"));
    }
  }
}

}  // namespace

napi_value register_module(napi_env env, napi_value exports) {
  bind_host();
  wait_for_first_registration();
  create_custom_gc(env);
  keep_support_object(env);
  set_exports(env, exports);
  registration_completed.store(true);
  return exports;
}

}  // namespace tarvix::napi
