#include "instance.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tarvix::standin {
namespace {

constexpr auto kDumpInterval = std::chrono::milliseconds(250);

std::optional<std::string> optional_string(const char* text) {
  if (text == nullptr) return std::nullopt;
  return std::string(text);
}

// The spare when only this instance holds it and it has the size (readers
// obtain only the current bytes, so a count of one cannot grow meanwhile),
// else new memory.
std::shared_ptr<std::vector<uint8_t>> bytes_for(std::shared_ptr<std::vector<uint8_t>> spare,
                                                std::size_t size) {
  if (!spare || spare.use_count() != 1 || spare->size() != size) {
    return std::make_shared<std::vector<uint8_t>>(size);
  }
  // use_count() is a relaxed read. The count increment of a copy reads the
  // decrement with which the last reader let go, which orders that reader's
  // reads of the bytes before the writes that follow here.
  [[maybe_unused]] const auto ordered = spare;
  return spare;
}

}  // namespace

Instance::Instance(uint64_t instance_id, const NDIlib_send_create_t& settings)
    : id(instance_id),
      name(settings.p_ndi_name ? settings.p_ndi_name : ""),
      groups(optional_string(settings.p_groups)),
      clock_video_(settings.clock_video),
      clock_audio_(settings.clock_audio) {}

bool Instance::record_video(const NDIlib_video_frame_v2_t& frame, bool keep_bytes) {
  if (frame.p_data == nullptr || frame.xres <= 0 || frame.yres <= 0 ||
      frame.line_stride_in_bytes <= 0) {
    return false;
  }
  // Copy outside the lock: the sender's memory is only valid during the call.
  const auto size =
      static_cast<std::size_t>(frame.line_stride_in_bytes) * static_cast<std::size_t>(frame.yres);
  std::shared_ptr<std::vector<uint8_t>> bytes;
  if (keep_bytes) {
    {
      std::lock_guard lock(lock_);
      bytes = std::move(spare_video_);
    }
    bytes = bytes_for(std::move(bytes), size);
    std::memcpy(bytes->data(), frame.p_data, size);
  }
  tarvix_standin_video_info info{};
  info.xres = frame.xres;
  info.yres = frame.yres;
  info.fourcc = static_cast<int32_t>(frame.FourCC);
  info.frame_rate_n = frame.frame_rate_N;
  info.frame_rate_d = frame.frame_rate_D;
  info.picture_aspect_ratio = frame.picture_aspect_ratio;
  info.frame_format_type = static_cast<int32_t>(frame.frame_format_type);
  info.timecode = frame.timecode;
  info.line_stride_in_bytes = frame.line_stride_in_bytes;
  info.has_metadata = frame.p_metadata != nullptr;
  info.timestamp = frame.timestamp;
  info.data_size = size;

  std::lock_guard lock(lock_);
  ++video_frames_;
  flushed_since_send_ = false;
  video_ = info;
  spare_video_ = std::exchange(video_bytes_, std::move(bytes));
  return true;
}

bool Instance::record_audio(const NDIlib_audio_frame_v3_t& frame) {
  if (frame.p_data == nullptr || frame.no_channels <= 0 || frame.no_samples <= 0 ||
      frame.FourCC != NDIlib_FourCC_audio_type_FLTP ||
      int64_t{frame.channel_stride_in_bytes} < int64_t{frame.no_samples} * 4) {
    return false;
  }
  const auto channels = static_cast<std::size_t>(frame.no_channels);
  const auto samples = static_cast<std::size_t>(frame.no_samples);
  const auto stride = static_cast<std::size_t>(frame.channel_stride_in_bytes);
  std::vector<float> copy(channels * samples);
  for (std::size_t c = 0; c < channels; ++c) {
    std::memcpy(copy.data() + c * samples, frame.p_data + c * stride, samples * sizeof(float));
  }
  tarvix_standin_audio_info info{};
  info.sample_rate = frame.sample_rate;
  info.no_channels = frame.no_channels;
  info.no_samples = frame.no_samples;
  info.timecode = frame.timecode;
  info.fourcc = static_cast<int32_t>(frame.FourCC);
  info.channel_stride_in_bytes = frame.channel_stride_in_bytes;
  info.has_metadata = frame.p_metadata != nullptr;
  info.timestamp = frame.timestamp;
  for (std::size_t c = 0; c < std::min<std::size_t>(channels, TARVIX_STANDIN_MAX_CHANNELS); ++c) {
    info.first_samples[c] = copy[c * samples];
  }

  std::lock_guard lock(lock_);
  ++audio_blocks_;
  samples_per_channel_ += samples;
  flushed_since_send_ = false;
  audio_.push_back(info);
  if (audio_.size() > kAudioHistory) audio_.pop_front();
  audio_samples_ = std::move(copy);
  return true;
}

void Instance::record_flush() {
  std::lock_guard lock(lock_);
  ++flushes_;
  flushed_since_send_ = true;
}

void Instance::forget_media() {
  std::lock_guard lock(lock_);
  video_bytes_.reset();
  spare_video_.reset();
  std::vector<float>().swap(audio_samples_);
}

void Instance::record_destroy() {
  std::lock_guard lock(lock_);
  destroyed_ = true;
  flushed_before_destroy_ = flushed_since_send_;
}

tarvix_standin_instance_info Instance::info_locked() const {
  tarvix_standin_instance_info info{};
  info.clock_video = clock_video_;
  info.clock_audio = clock_audio_;
  info.has_groups = groups.has_value();
  info.destroyed = destroyed_;
  info.flushed_before_destroy = flushed_before_destroy_;
  info.video_frames = video_frames_;
  info.audio_blocks = audio_blocks_;
  info.flushes = flushes_;
  info.samples_per_channel = samples_per_channel_;
  info.audio_blocks_kept = audio_.size();
  info.last_video = video_;
  return info;
}

tarvix_standin_instance_info Instance::info() const {
  std::lock_guard lock(lock_);
  return info_locked();
}

std::shared_ptr<const std::vector<uint8_t>> Instance::last_video() const {
  std::lock_guard lock(lock_);
  return video_bytes_;
}

std::optional<tarvix_standin_audio_info> Instance::audio_block(uint64_t index) const {
  std::lock_guard lock(lock_);
  if (index >= audio_.size()) return std::nullopt;
  return audio_[index];
}

std::vector<float> Instance::last_audio_samples() const {
  std::lock_guard lock(lock_);
  return audio_samples_;
}

InstanceSnapshot Instance::snapshot() const {
  std::lock_guard lock(lock_);
  InstanceSnapshot snap;
  snap.name = name;
  snap.info = info_locked();
  snap.last_video = video_bytes_;
  if (!audio_.empty()) snap.last_audio = audio_.back();
  return snap;
}

bool Instance::claim_dump(bool final) {
  std::lock_guard lock(lock_);
  const auto now = std::chrono::steady_clock::now();
  if (dumping_ || (!final && now - last_dump_ < kDumpInterval)) return false;
  dumping_ = true;
  last_dump_ = now;
  return true;
}

void Instance::dump_done() {
  std::lock_guard lock(lock_);
  dumping_ = false;
}

}  // namespace tarvix::standin
