// One block of script audio sent through a running output's source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "addon/operations.h"

namespace tarvix::addon {

// How a block is read: the channel count brought into 1..8, the whole floats
// in the block, and the complete samples per channel they make.
struct AudioBlockShape {
  uint64_t channels = 0;
  uint64_t floats = 0;
  uint64_t samples_per_channel = 0;
};

AudioBlockShape audio_block_shape(std::size_t byte_length, uint32_t channel_argument);

// False for blocks that are dropped without an error: a rate outside 8000 to
// 192000 Hz, or fewer floats than channels.
bool audio_block_usable(uint32_t sample_rate, const AudioBlockShape& shape);

// Unusable blocks and unknown ids are dropped quietly; only a block that the
// frame record refuses is an error.
OperationResult send_audio_block(const std::string& output_id, std::span<const std::byte> samples,
                                 uint32_t sample_rate, uint32_t channels);

}  // namespace tarvix::addon
