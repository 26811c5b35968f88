#include "napi/custom_gc.h"

#include <mutex>

#include "napi/binding_table.h"
#include "napi/throw_error.h"

namespace tarvix::napi {
namespace {

thread_local std::shared_ptr<CustomGcState> thread_state;

using WeakState = std::weak_ptr<CustomGcState>;

napi_value NAPI_CDECL do_nothing(napi_env, napi_callback_info) {
  return nullptr;
}

void throw_on_failure(napi_env env, napi_status status, const char* reason) {
  if (status != napi_ok) throw_error(env, StatusError::from(status, reason));
}

// Runs on the script thread for each reference queued from another thread.
void NAPI_CDECL release_queued(napi_env env, napi_value, void*, void* data) {
  if (!env || !data) return;
  auto reference = static_cast<napi_ref>(data);
  std::uint32_t remaining = 0;
  napi_status status = api().napi_reference_unref(env, reference, &remaining);
  if (status != napi_ok) {
    throw_error(env, StatusError::from(status, "Failed to unref reference in Custom GC"));
    return;
  }
  if (remaining != 0) return;
  status = api().napi_delete_reference(env, reference);
  throw_on_failure(env, status, "Failed to delete reference in Custom GC");
}

// The host destroys the function when the environment goes away; from then
// on the queue must not be used.
void NAPI_CDECL mark_aborted(napi_env, void* data, void*) {
  std::unique_ptr<WeakState> weak(static_cast<WeakState*>(data));
  if (auto state = weak->lock()) {
    std::unique_lock lock(state->lock);
    state->aborted = true;
  }
}

}  // namespace

void create_custom_gc(napi_env env) {
  napi_value function = nullptr;
  throw_on_failure(env,
                   api().napi_create_function(env, "custom_gc", 9, do_nothing, nullptr, &function),
                   "Create Custom GC Function in napi_register_module_v1 failed");
  napi_value name = nullptr;
  throw_on_failure(env, api().napi_create_string_utf8(env, "CustomGC", 8, &name),
                   "Create async resource string in napi_register_module_v1");

  auto state = std::make_shared<CustomGcState>();
  auto weak = std::make_unique<WeakState>(state);
  napi_threadsafe_function handle = nullptr;
  const napi_status status =
      api().napi_create_threadsafe_function(env, function, nullptr, name, 0, 1, weak.get(),
                                            mark_aborted, nullptr, release_queued, &handle);
  if (status != napi_ok) {
    throw_error(
        env, StatusError::from(
                 status, "Create Custom GC ThreadsafeFunction in napi_register_module_v1 failed"));
    return;
  }
  static_cast<void>(weak.release());  // the finalizer owns it now

  state->function = handle;
  // Unreferenced, so that it never keeps the host's event loop alive.
  throw_on_failure(env, api().napi_unref_threadsafe_function(env, handle),
                   "Unref Custom GC ThreadsafeFunction in napi_register_module_v1 failed");
  thread_state = std::move(state);
}

std::shared_ptr<CustomGcState> current_custom_gc() noexcept {
  return thread_state;
}

}  // namespace tarvix::napi
