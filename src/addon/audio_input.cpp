#include "addon/audio_input.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "addon/audio_sender_registry.h"
#include "ndi/audio_frame.h"

namespace tarvix::addon {
namespace {

constexpr uint32_t kMinSampleRate = 8000;
constexpr uint32_t kMaxSampleRate = 192000;
constexpr uint64_t kMaxChannels = 8;

bool within_frame_limits(const AudioBlockShape& shape) {
  return shape.samples_per_channel <= static_cast<uint64_t>(ndi::kMaxAudioSamplesPerChannel) &&
         shape.channels * shape.samples_per_channel <= ndi::kMaxAudioSamples;
}

// The used floats, planar as they stand. The Buffer need not be aligned for
// floats, hence a byte copy. A block too large for one frame is not copied:
// the frame record refuses its size before it looks at the samples.
std::vector<float> copy_samples(std::span<const std::byte> bytes, const AudioBlockShape& shape) {
  if (!within_frame_limits(shape)) return {};
  const std::size_t count = shape.channels * shape.samples_per_channel;
  std::vector<float> samples;
  try {
    samples.resize(count);
  } catch (const std::bad_alloc&) {
    fatal("out of memory for an audio block");
  }
  std::memcpy(samples.data(), bytes.data(), count * sizeof(float));
  return samples;
}

Result<ndi::AudioFrame, ndi::NdiError> build_frame(std::span<const std::byte> bytes,
                                                   uint32_t sample_rate,
                                                   const AudioBlockShape& shape) {
  // Counts past the signed range only arise from blocks of 8 GiB or more;
  // they are refused by the stride check all the same.
  const auto samples = static_cast<int32_t>(
      std::min<uint64_t>(shape.samples_per_channel, std::numeric_limits<int32_t>::max()));
  return ndi::AudioFrameBuilder()
      .sample_rate(static_cast<int32_t>(sample_rate))
      .channels(static_cast<int32_t>(shape.channels))
      .samples_per_channel(samples)
      .timecode(NDIlib_send_timecode_synthesize)
      .data(copy_samples(bytes, shape))
      .build();
}

}  // namespace

AudioBlockShape audio_block_shape(std::size_t byte_length, uint32_t channel_argument) {
  AudioBlockShape shape;
  shape.channels = std::clamp<uint64_t>(channel_argument, 1, kMaxChannels);
  shape.floats = byte_length / sizeof(float);
  shape.samples_per_channel = shape.floats / shape.channels;
  return shape;
}

bool audio_block_usable(uint32_t sample_rate, const AudioBlockShape& shape) {
  return sample_rate >= kMinSampleRate && sample_rate <= kMaxSampleRate &&
         shape.floats >= shape.channels;
}

OperationResult send_audio_block(const std::string& output_id, std::span<const std::byte> samples,
                                 uint32_t sample_rate, uint32_t channels) {
  const AudioBlockShape shape = audio_block_shape(samples.size(), channels);
  if (!audio_block_usable(sample_rate, shape)) return {};
  std::optional<ndi::NdiSender> sender = AudioSenderRegistry::instance().find(output_id);
  if (!sender) return {};
  auto frame = build_frame(samples, sample_rate, shape);
  if (!frame) return Err{"NDI initialization failed: " + frame.error().debug()};
  sender->send_audio(frame.value());
  return {};
}

}  // namespace tarvix::addon
