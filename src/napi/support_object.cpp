#include "napi/support_object.h"

#include <unordered_map>

#include "napi/binding_table.h"

namespace tarvix::napi {
namespace {

// The reference each environment registered on this thread keeps.
thread_local std::unordered_map<napi_env, napi_ref> kept;

// Runs on the environment's thread when the host tears it down.
void NAPI_CDECL forget(void* arg) {
  auto env = static_cast<napi_env>(arg);
  auto found = kept.find(env);
  if (found == kept.end()) return;
  api().napi_delete_reference(env, found->second);
  kept.erase(found);
}

napi_ref make_support_object(napi_env env) noexcept {
  napi_value global = nullptr;
  napi_value reflect = nullptr;
  napi_value describe = nullptr;
  napi_value object = nullptr;
  napi_ref reference = nullptr;
  const bool made =
      api().napi_get_global(env, &global) == napi_ok &&
      api().napi_get_named_property(env, global, "Reflect", &reflect) == napi_ok &&
      api().napi_get_named_property(env, reflect, "getOwnPropertyDescriptor", &describe) ==
          napi_ok &&
      api().napi_create_object(env, &object) == napi_ok &&
      api().napi_set_named_property(env, object, "Reflect", reflect) == napi_ok &&
      api().napi_set_named_property(env, object, "getOwnPropertyDescriptor", describe) == napi_ok &&
      api().napi_create_reference(env, object, 1, &reference) == napi_ok;
  return made ? reference : nullptr;
}

}  // namespace

void keep_support_object(napi_env env) noexcept {
  napi_ref reference = make_support_object(env);
  if (!reference) {
    napi_value ignored = nullptr;
    api().napi_get_and_clear_last_exception(env, &ignored);
    return;
  }
  auto [slot, first] = kept.try_emplace(env, reference);
  if (!first) {
    // The module registered again in this environment: the hook is in place.
    api().napi_delete_reference(env, slot->second);
    slot->second = reference;
    return;
  }
  if (api().napi_add_env_cleanup_hook(env, forget, env) != napi_ok) {
    // Without a hook nobody would delete it; do it now.
    api().napi_delete_reference(env, reference);
    kept.erase(slot);
  }
}

}  // namespace tarvix::napi
