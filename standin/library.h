// The stand-in's process-wide state: library init state and counters, the
// call log, the send instances, injected failures and pauses. One lock
// guards it; an instance's own records have their own lock, never taken
// while this one is held.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "instance.h"

namespace tarvix::standin {

inline constexpr std::size_t kCallLogSize = 4096;
// Destroyed instances whose records stay readable; older ones are forgotten
// (their ids read as unknown), so endless start and stop stays bounded.
inline constexpr std::size_t kDestroyedKept = 256;
inline constexpr int kCallKinds = 8;  // tarvix_standin_call values are 1..7

struct Library {
  std::mutex lock;
  bool initialized = false;
  uint64_t initialize_calls = 0;
  uint64_t destroy_calls = 0;
  uint64_t misuse = 0;
  int in_library_call = 0;  // threads inside initialize or destroy
  uint32_t fail_initialize = 0;
  uint32_t fail_send_create = 0;
  std::deque<tarvix_standin_call_record> calls;
  uint64_t calls_logged = 0;
  std::vector<std::shared_ptr<Instance>> listed;  // index = id - 1
  std::map<const void*, std::shared_ptr<Instance>> live;
  std::deque<uint64_t> destroyed;  // ids, oldest first, at most kDestroyedKept
  // Whether instances keep each frame's bytes; the probe switches it, a
  // reset restores the default (off when TARVIX_STANDIN_VIDEO_BYTES=off).
  std::atomic<bool> keep_video_bytes{keep_video_bytes_default()};

  // Pauses have their own lock so a paused thread holds nothing else.
  std::mutex pause_lock;
  std::condition_variable pause_changed;
  bool paused[kCallKinds] = {};
  uint32_t waiting[kCallKinds] = {};

  void log(tarvix_standin_call call, uint64_t instance);               // lock held
  std::shared_ptr<Instance> find_live(NDIlib_send_instance_t handle);  // lock held
  std::shared_ptr<Instance> find_listed(uint64_t id);
  void pause_point(tarvix_standin_call call);
  static bool keep_video_bytes_default();
};

Library& library();

}  // namespace tarvix::standin
