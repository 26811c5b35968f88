// The owned record of one block of planar 32-bit float audio, and the builder
// that checks every value before it moves the samples in.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ndi/error.h"
#include "ndi/sdk.h"
#include "support/result.h"

namespace tarvix::ndi {

// 16 Mi floats, 64 MiB of samples per block.
inline constexpr uint64_t kMaxAudioSamples = 16ull * 1024 * 1024;
// The largest count whose byte stride fits a signed 32-bit value.
inline constexpr int32_t kMaxAudioSamplesPerChannel = 0x1FFFFFFF;

class AudioFrame {
 public:
  AudioFrame(AudioFrame&&) noexcept = default;
  AudioFrame& operator=(AudioFrame&&) noexcept = default;
  AudioFrame(const AudioFrame&) = delete;
  AudioFrame& operator=(const AudioFrame&) = delete;

  int32_t sample_rate() const noexcept { return sample_rate_; }
  uint64_t channels() const noexcept { return channels_; }
  uint64_t samples_per_channel() const noexcept { return samples_per_channel_; }
  int32_t channel_stride_in_bytes() const noexcept { return channel_stride_; }
  NDIlib_FourCC_audio_type_e fourcc() const noexcept { return fourcc_; }
  int64_t timecode() const noexcept { return timecode_; }
  int64_t timestamp() const noexcept { return 0; }
  const std::optional<std::string>& metadata() const noexcept { return metadata_; }
  std::span<const float> data() const noexcept { return data_; }

  // The SDK descriptor; it borrows data() and must not outlive this record.
  NDIlib_audio_frame_v3_t descriptor() const noexcept;

 private:
  friend class AudioFrameBuilder;
  AudioFrame() = default;

  std::vector<float> data_;
  uint64_t channels_ = 0;
  uint64_t samples_per_channel_ = 0;
  int32_t sample_rate_ = 0;
  int32_t channel_stride_ = 0;
  NDIlib_FourCC_audio_type_e fourcc_ = NDIlib_FourCC_audio_type_FLTP;
  int64_t timecode_ = NDIlib_send_timecode_synthesize;
  std::optional<std::string> metadata_;
};

class AudioFrameBuilder {
 public:
  AudioFrameBuilder& sample_rate(int32_t hz) noexcept;
  AudioFrameBuilder& channels(int32_t count) noexcept;
  AudioFrameBuilder& samples_per_channel(int32_t count) noexcept;
  AudioFrameBuilder& timecode(int64_t value) noexcept;
  // Planar: all of channel 0, then channel 1, and so on.
  AudioFrameBuilder& data(std::vector<float> samples) noexcept;

  // Moves the samples into the record without copying; a refusal
  // (InvalidFrame) releases them.
  Result<AudioFrame, NdiError> build();

 private:
  int32_t sample_rate_ = 0;
  int32_t channels_ = 0;
  int32_t samples_per_channel_ = 0;
  int64_t timecode_ = NDIlib_send_timecode_synthesize;
  std::vector<float> data_;
};

}  // namespace tarvix::ndi
