// Audio blocks of arbitrary bytes, with arbitrary sample-rate and channel
// arguments: the derived shape (channels brought into 1..8, whole floats,
// complete samples per channel), the decision to drop a block, and the frame
// record built from it. A second mode feeds the frame builder raw values, as
// a caller with any inputs could.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "addon/audio_input.h"
#include "fuzz_check.h"
#include "ndi/audio_frame.h"

namespace {

using tarvix::fuzz::check;
using tarvix::ndi::AudioFrameBuilder;

template <class T>
T take(const uint8_t*& data, std::size_t& size) {
  T value{};
  const std::size_t n = std::min(sizeof(T), size);
  std::memcpy(&value, data, n);
  data += n;
  size -= n;
  return value;
}

void check_block(uint32_t rate, uint32_t channel_argument, const uint8_t* bytes, std::size_t size) {
  using namespace tarvix::addon;
  const AudioBlockShape shape = audio_block_shape(size, channel_argument);
  const uint64_t channels = channel_argument == 0 ? 1 : std::min<uint64_t>(channel_argument, 8);
  check(shape.channels == channels, "channel count not brought into 1..8");
  check(shape.floats == size / 4, "float count");
  check(shape.samples_per_channel == shape.floats / channels, "samples per channel");
  check(shape.channels * shape.samples_per_channel <= shape.floats,
        "shape uses more than the block");
  const bool usable = rate >= 8000 && rate <= 192000 && shape.floats >= channels;
  check(audio_block_usable(rate, shape) == usable, "drop decision");
  if (!usable) return;

  // As the audio entry builds it: the used floats, planar as they stand.
  const std::size_t used = shape.channels * shape.samples_per_channel;
  std::vector<float> samples(used);
  std::memcpy(samples.data(), bytes, used * sizeof(float));
  auto frame = AudioFrameBuilder()
                   .sample_rate(static_cast<int32_t>(rate))
                   .channels(static_cast<int32_t>(shape.channels))
                   .samples_per_channel(static_cast<int32_t>(shape.samples_per_channel))
                   .timecode(NDIlib_send_timecode_synthesize)
                   .data(std::move(samples))
                   .build();
  check(frame.ok(), "a small usable block was refused");
  const NDIlib_audio_frame_v3_t d = frame->descriptor();
  check(d.sample_rate == static_cast<int>(rate), "descriptor rate");
  check(static_cast<uint64_t>(d.no_channels) == shape.channels, "descriptor channels");
  check(static_cast<uint64_t>(d.no_samples) == shape.samples_per_channel, "descriptor samples");
  check(static_cast<uint64_t>(d.channel_stride_in_bytes) == shape.samples_per_channel * 4,
        "descriptor stride");
  check(d.FourCC == NDIlib_FourCC_audio_type_FLTP, "descriptor format");
  check(d.timecode == NDIlib_send_timecode_synthesize && d.timestamp == 0, "descriptor times");
  check(d.p_metadata == nullptr, "descriptor metadata");
  check(std::memcmp(d.p_data, bytes, used * sizeof(float)) == 0, "samples changed on the way");
}

void check_builder(int32_t rate, int32_t channels, int32_t per_channel, uint16_t length) {
  const bool valid_counts = rate > 0 && channels > 0 && per_channel > 0 &&
                            per_channel <= tarvix::ndi::kMaxAudioSamplesPerChannel;
  const uint64_t expected =
      valid_counts ? static_cast<uint64_t>(channels) * static_cast<uint64_t>(per_channel) : 0;
  const bool accept =
      valid_counts && expected <= tarvix::ndi::kMaxAudioSamples && expected == length;
  auto frame = AudioFrameBuilder()
                   .sample_rate(rate)
                   .channels(channels)
                   .samples_per_channel(per_channel)
                   .data(std::vector<float>(length, 0.5f))
                   .build();
  check(frame.ok() == accept, "builder decision");
  if (!frame) {
    check(frame.error().kind() == tarvix::ndi::NdiErrorKind::InvalidFrame, "refusal kind");
    return;
  }
  check(frame->data().size() == length, "record samples");
  check(frame->descriptor().channel_stride_in_bytes == per_channel * 4, "record stride");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const auto mode = take<uint8_t>(data, size);
  if (mode & 1) {
    const auto rate = take<int32_t>(data, size);
    const auto channels = take<int32_t>(data, size);
    const auto per_channel = take<int32_t>(data, size);
    check_builder(rate, channels, per_channel, take<uint16_t>(data, size));
    return 0;
  }
  const auto rate = take<uint32_t>(data, size);
  const auto channel_argument = take<uint32_t>(data, size);
  check_block(rate, channel_argument, data, size);
  return 0;
}
