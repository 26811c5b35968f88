// The custom GC function of an environment: a thread-safe function through
// which a thread other than the environment's own hands Node-API references
// back to be released on the script thread.
#pragma once

#include <memory>
#include <shared_mutex>

#include "napi/node_api.h"

namespace tarvix::napi {

struct CustomGcState {
  // Set under the write lock when the host finalizes the environment's
  // function; releases check it under the read lock and skip the queue.
  std::shared_mutex lock;
  bool aborted = false;
  napi_threadsafe_function function = nullptr;
};

// Creates the environment's custom GC function and puts its state into the
// calling thread's slot. Failures are thrown into the script; the slot then
// keeps what it held.
void create_custom_gc(napi_env env);

// The state of the environment that registered last on this thread, if any.
std::shared_ptr<CustomGcState> current_custom_gc() noexcept;

}  // namespace tarvix::napi
