// What the stand-in keeps about one send instance. Everything is copied in
// during the SDK call; nothing points into caller memory afterwards.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tarvix_standin_probe.h"

namespace tarvix::standin {

inline constexpr std::size_t kAudioHistory = 1024;

// An immutable copy of everything a summary needs, taken under the lock and
// written out after it is released.
struct InstanceSnapshot {
  std::string name;
  tarvix_standin_instance_info info{};
  std::shared_ptr<const std::vector<uint8_t>> last_video;
  std::optional<tarvix_standin_audio_info> last_audio;
};

class Instance {
 public:
  Instance(uint64_t id, const NDIlib_send_create_t& settings);

  const uint64_t id;
  const std::string name;
  const std::optional<std::string> groups;

  // Return false (and keep nothing) for a descriptor the real runtime would
  // not accept. Without keep_bytes only the descriptor fields are recorded
  // and the last frame's bytes are dropped: benchmarks use that to leave
  // the stand-in's copy out of what they measure.
  bool record_video(const NDIlib_video_frame_v2_t& frame, bool keep_bytes = true);
  bool record_audio(const NDIlib_audio_frame_v3_t& frame);
  void record_flush();
  void record_destroy();
  // Lets go of the last frame's bytes and samples once the summary is
  // written: only live senders keep media, so churn does not grow memory.
  void forget_media();

  tarvix_standin_instance_info info() const;
  std::shared_ptr<const std::vector<uint8_t>> last_video() const;
  std::optional<tarvix_standin_audio_info> audio_block(uint64_t index) const;
  std::vector<float> last_audio_samples() const;
  InstanceSnapshot snapshot() const;

  // Rate limit for summaries: true when one is due now (always when final),
  // and then the caller must call dump_done() after writing.
  bool claim_dump(bool final);
  void dump_done();

 private:
  tarvix_standin_instance_info info_locked() const;

  mutable std::mutex lock_;
  const bool clock_video_;
  const bool clock_audio_;
  uint64_t video_frames_ = 0;
  uint64_t audio_blocks_ = 0;
  uint64_t flushes_ = 0;
  uint64_t samples_per_channel_ = 0;
  bool destroyed_ = false;
  bool flushed_since_send_ = false;
  bool flushed_before_destroy_ = false;
  tarvix_standin_video_info video_{};
  // Handed out read-only. The previous frame's bytes become the spare that
  // the next frame of the same size is copied into, unless a reader still
  // holds them: a steady stream takes no fresh memory per frame.
  std::shared_ptr<std::vector<uint8_t>> video_bytes_;
  std::shared_ptr<std::vector<uint8_t>> spare_video_;
  std::deque<tarvix_standin_audio_info> audio_;
  std::vector<float> audio_samples_;
  std::chrono::steady_clock::time_point last_dump_{};
  bool dumping_ = false;
};

}  // namespace tarvix::standin
