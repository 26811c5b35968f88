// The module's only exported symbol, and the load-time initializers that fill
// the export list. They live in the module itself: initializers in an object
// of a static library that nothing references would be dropped by the linker.
#include "napi/export_list.h"
#include "napi/node_api.h"
#include "napi/registration.h"
#include "napi/script_functions.h"

namespace {

// Initializers of one file run in the order written, which fixes the order
// of the exports.
[[maybe_unused]] const bool stop_listed =
    tarvix::napi::add_export("ndiOutputStop", tarvix::napi::create_ndi_output_stop);
[[maybe_unused]] const bool start_listed =
    tarvix::napi::add_export("ndiOutputStart", tarvix::napi::create_ndi_output_start);
[[maybe_unused]] const bool send_audio_listed =
    tarvix::napi::add_export("ndiOutputSendAudio", tarvix::napi::create_ndi_output_send_audio);

}  // namespace

extern "C" NAPI_MODULE_EXPORT napi_value NAPI_CDECL napi_register_module_v1(napi_env env,
                                                                            napi_value exports) {
  return tarvix::napi::register_module(env, exports);
}
