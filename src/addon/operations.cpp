#include "addon/operations.h"

#include "addon/audio_input.h"
#include "addon/output_session.h"

namespace tarvix::addon {

OperationResult ndi_output_start(std::span<const std::byte> window_handle,
                                 const std::string& output_id, const std::string& sender_name) {
  return start_output(capture::platform::default_platform(), window_handle, output_id, sender_name);
}

OperationResult ndi_output_stop(const std::string& output_id) {
  return stop_output(output_id);
}

OperationResult ndi_output_send_audio(const std::string& output_id,
                                      std::span<const std::byte> samples, uint32_t sample_rate,
                                      uint32_t channels) {
  return send_audio_block(output_id, samples, sample_rate, channels);
}

}  // namespace tarvix::addon
