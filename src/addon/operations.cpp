#include "addon/operations.h"

namespace tarvix::addon {

// Placeholders until the output sessions land: a decoded call has nothing
// more to do.
OperationResult ndi_output_start(std::span<const std::byte>, const std::string&,
                                 const std::string&) {
  return {};
}

OperationResult ndi_output_stop(const std::string&) {
  return {};
}

OperationResult ndi_output_send_audio(const std::string&, std::span<const std::byte>, uint32_t,
                                      uint32_t) {
  return {};
}

}  // namespace tarvix::addon
