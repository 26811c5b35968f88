#include "ndi/audio_frame.h"

namespace tarvix::ndi {
namespace {

NdiError refuse(std::string message) {
  return NdiError::invalid_frame(std::move(message));
}

}  // namespace

AudioFrameBuilder& AudioFrameBuilder::sample_rate(int32_t hz) noexcept {
  sample_rate_ = hz;
  return *this;
}

AudioFrameBuilder& AudioFrameBuilder::channels(int32_t count) noexcept {
  channels_ = count;
  return *this;
}

AudioFrameBuilder& AudioFrameBuilder::samples_per_channel(int32_t count) noexcept {
  samples_per_channel_ = count;
  return *this;
}

AudioFrameBuilder& AudioFrameBuilder::timecode(int64_t value) noexcept {
  timecode_ = value;
  return *this;
}

AudioFrameBuilder& AudioFrameBuilder::data(std::vector<float> samples) noexcept {
  data_ = std::move(samples);
  return *this;
}

Result<AudioFrame, NdiError> AudioFrameBuilder::build() {
  // Whatever happens, the builder gives its samples up here.
  std::vector<float> samples = std::move(data_);
  if (sample_rate_ <= 0) return Err{refuse("Invalid sample rate: " + std::to_string(sample_rate_))};
  if (channels_ <= 0)
    return Err{refuse("Invalid number of channels: " + std::to_string(channels_))};
  if (samples_per_channel_ <= 0) {
    return Err{refuse("Invalid number of samples: " + std::to_string(samples_per_channel_))};
  }
  const auto per_channel = static_cast<uint64_t>(samples_per_channel_);
  if (samples_per_channel_ > kMaxAudioSamplesPerChannel) {
    return Err{
        refuse("Audio channel stride " + std::to_string(per_channel * 4) + " exceeds i32 range")};
  }
  const auto channels = static_cast<uint64_t>(channels_);
  const uint64_t expected = channels * per_channel;
  if (expected > kMaxAudioSamples) {
    return Err{refuse("Audio frame exceeds maximum size: " + std::to_string(expected * 4) +
                      " bytes > " + std::to_string(kMaxAudioSamples * 4) + " bytes")};
  }
  if (samples.size() != expected) {
    return Err{refuse("Audio data length " + std::to_string(samples.size()) + ", expected " +
                      std::to_string(expected) + " (" + std::to_string(channels) + "ch x " +
                      std::to_string(per_channel) + "samples)")};
  }
  AudioFrame frame;
  frame.data_ = std::move(samples);
  frame.channels_ = channels;
  frame.samples_per_channel_ = per_channel;
  frame.sample_rate_ = sample_rate_;
  frame.channel_stride_ = samples_per_channel_ * 4;
  frame.timecode_ = timecode_;
  return frame;
}

NDIlib_audio_frame_v3_t AudioFrame::descriptor() const noexcept {
  NDIlib_audio_frame_v3_t frame{};
  frame.sample_rate = sample_rate_;
  // Both fit: a built record has at most 2^31 - 1 of each.
  frame.no_channels = static_cast<int>(channels_);
  frame.no_samples = static_cast<int>(samples_per_channel_);
  frame.timecode = timecode_;
  frame.FourCC = fourcc_;
  // The SDK takes a non-const pointer but only reads the samples.
  frame.p_data = reinterpret_cast<uint8_t*>(const_cast<float*>(data_.data()));
  frame.channel_stride_in_bytes = channel_stride_;
  frame.p_metadata = metadata_ ? metadata_->c_str() : nullptr;
  frame.timestamp = timestamp();
  return frame;
}

}  // namespace tarvix::ndi
