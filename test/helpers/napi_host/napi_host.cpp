// Just enough of a Node-API host to tell a bound function from a fallback:
// each function answers in a way no fallback would.
#include <node_api.h>

#include <cstdint>

extern "C" {

// Hands the value back disguised as a napi_value, so the caller can check it
// arrived.
NAPI_EXTERN napi_status NAPI_CDECL napi_create_int32(napi_env, int32_t value, napi_value* result) {
  *result = reinterpret_cast<napi_value>(static_cast<std::intptr_t>(value));
  return napi_ok;
}

// A status that no fallback returns.
NAPI_EXTERN napi_status NAPI_CDECL napi_get_undefined(napi_env, napi_value*) {
  return napi_generic_failure;
}

NAPI_EXTERN napi_status NAPI_CDECL napi_is_exception_pending(napi_env, bool* result) {
  *result = true;
  return napi_ok;
}

}  // extern "C"
