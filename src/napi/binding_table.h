// Every Node-API function the module calls, bound at registration from the
// host process. The module never links against a napi_ symbol: a host that
// lacks a function keeps its fallback, which reports itself on each call.
#pragma once

#include "napi/node_api.h"

namespace tarvix::napi {

// X(name) for each function of the table, in no particular order.
#define TARVIX_NODE_API_FUNCTIONS(X)   \
  X(napi_add_env_cleanup_hook)         \
  X(napi_call_function)                \
  X(napi_call_threadsafe_function)     \
  X(napi_coerce_to_string)             \
  X(napi_create_error)                 \
  X(napi_create_function)              \
  X(napi_create_int32)                 \
  X(napi_create_object)                \
  X(napi_create_reference)             \
  X(napi_create_string_utf8)           \
  X(napi_create_threadsafe_function)   \
  X(napi_delete_reference)             \
  X(napi_get_and_clear_last_exception) \
  X(napi_get_buffer_info)              \
  X(napi_get_cb_info)                  \
  X(napi_get_global)                   \
  X(napi_get_named_property)           \
  X(napi_get_undefined)                \
  X(napi_get_value_string_utf8)        \
  X(napi_get_value_uint32)             \
  X(napi_is_exception_pending)         \
  X(napi_reference_unref)              \
  X(napi_set_named_property)           \
  X(napi_throw)                        \
  X(napi_typeof)                       \
  X(napi_unref_threadsafe_function)

struct BindingTable {
#define TARVIX_DECLARE_ENTRY(name) decltype(&::name) name;
  TARVIX_NODE_API_FUNCTIONS(TARVIX_DECLARE_ENTRY)
#undef TARVIX_DECLARE_ENTRY
};

// A function's address in the host, or null when the host lacks it.
using HostFunction = void (*)();
using SymbolLookup = HostFunction (*)(const char* name, void* context);

// The table the module calls through. Before binding, every entry is a
// fallback.
const BindingTable& api() noexcept;

// Fills every entry from `lookup`; names it cannot find get their fallback.
// Called once per process by registration (and by tests with their own
// lookup); not safe against concurrent calls through the table.
void bind_table(SymbolLookup lookup, void* context);

// Puts every fallback back, as before the first binding.
void reset_table() noexcept;

}  // namespace tarvix::napi
