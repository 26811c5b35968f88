// The three operations behind the script functions. They take decoded native
// arguments and never see a Node-API value; a failure is the message the
// script receives (always with the status GenericFailure).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "support/result.h"

namespace tarvix::addon {

using OperationResult = Result<void, std::string>;

OperationResult ndi_output_start(std::span<const std::byte> window_handle,
                                 const std::string& output_id, const std::string& sender_name);

OperationResult ndi_output_stop(const std::string& output_id);

OperationResult ndi_output_send_audio(const std::string& output_id,
                                      std::span<const std::byte> samples, uint32_t sample_rate,
                                      uint32_t channels);

}  // namespace tarvix::addon
