// The probe: read access to what the stand-in recorded, and the switches
// tests use to make the runtime fail or wait.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "library.h"

#if defined(_WIN32)
#define TARVIX_PROBE_API __declspec(dllexport)
#else
#define TARVIX_PROBE_API __attribute__((visibility("default")))
#endif

namespace {

using tarvix::standin::library;

bool valid_call(int32_t call) {
  return call >= 1 && call < tarvix::standin::kCallKinds;
}

size_t copy_out(const void* data, size_t size, void* out, size_t capacity) {
  if (out != nullptr && size > 0) std::memcpy(out, data, std::min(size, capacity));
  return size;
}

}  // namespace

extern "C" {

TARVIX_PROBE_API void tarvix_standin_reset(void) {
  auto& lib = library();
  {
    std::lock_guard lock(lib.lock);
    // The init state is the library's, not a record: a reset leaves it.
    lib.initialize_calls = 0;
    lib.destroy_calls = 0;
    lib.misuse = 0;
    lib.fail_initialize = 0;
    lib.fail_send_create = 0;
    lib.calls.clear();
    lib.calls_logged = 0;
    lib.listed.clear();
    lib.destroyed.clear();
  }
  lib.keep_video_bytes = tarvix::standin::Library::keep_video_bytes_default();
  std::lock_guard lock(lib.pause_lock);
  std::fill(std::begin(lib.paused), std::end(lib.paused), false);
  lib.pause_changed.notify_all();
}

TARVIX_PROBE_API void tarvix_standin_keep_video_bytes(int32_t keep) {
  library().keep_video_bytes = keep != 0;
}

TARVIX_PROBE_API void tarvix_standin_library(tarvix_standin_library_info* out) {
  auto& lib = library();
  std::lock_guard lock(lib.lock);
  *out = {};
  out->initialized = lib.initialized;
  out->initialize_calls = lib.initialize_calls;
  out->destroy_calls = lib.destroy_calls;
  out->instances_created = lib.listed.size();
  out->live_instances = lib.live.size();
  out->calls_logged = lib.calls_logged;
  out->misuse = lib.misuse;
}

TARVIX_PROBE_API uint64_t tarvix_standin_calls_kept(void) {
  auto& lib = library();
  std::lock_guard lock(lib.lock);
  return lib.calls.size();
}

TARVIX_PROBE_API int tarvix_standin_call_at(uint64_t index, tarvix_standin_call_record* out) {
  auto& lib = library();
  std::lock_guard lock(lib.lock);
  if (index >= lib.calls.size()) return 0;
  *out = lib.calls[index];
  return 1;
}

TARVIX_PROBE_API int tarvix_standin_instance(uint64_t id, tarvix_standin_instance_info* out) {
  const auto instance = library().find_listed(id);
  if (!instance) return 0;
  *out = instance->info();
  return 1;
}

TARVIX_PROBE_API uint64_t tarvix_standin_instance_id(NDIlib_send_instance_t handle) {
  auto& lib = library();
  std::lock_guard lock(lib.lock);
  const auto instance = lib.find_live(handle);
  if (!instance || instance->id > lib.listed.size() || lib.listed[instance->id - 1] != instance) {
    return 0;
  }
  return instance->id;
}

TARVIX_PROBE_API size_t tarvix_standin_instance_name(uint64_t id, char* out, size_t capacity) {
  const auto instance = library().find_listed(id);
  if (!instance) return 0;
  return copy_out(instance->name.data(), instance->name.size(), out, capacity);
}

TARVIX_PROBE_API size_t tarvix_standin_instance_groups(uint64_t id, char* out, size_t capacity) {
  const auto instance = library().find_listed(id);
  if (!instance || !instance->groups) return 0;
  return copy_out(instance->groups->data(), instance->groups->size(), out, capacity);
}

TARVIX_PROBE_API size_t tarvix_standin_last_video_data(uint64_t id, uint8_t* out, size_t capacity) {
  const auto instance = library().find_listed(id);
  if (!instance) return 0;
  const auto bytes = instance->last_video();
  if (!bytes) return 0;
  return copy_out(bytes->data(), bytes->size(), out, capacity);
}

TARVIX_PROBE_API int tarvix_standin_audio_block(uint64_t id, uint64_t index,
                                                tarvix_standin_audio_info* out) {
  const auto instance = library().find_listed(id);
  if (!instance) return 0;
  const auto block = instance->audio_block(index);
  if (!block) return 0;
  *out = *block;
  return 1;
}

TARVIX_PROBE_API size_t tarvix_standin_last_audio_samples(uint64_t id, float* out,
                                                          size_t capacity) {
  const auto instance = library().find_listed(id);
  if (!instance) return 0;
  const auto samples = instance->last_audio_samples();
  if (out != nullptr) {
    std::memcpy(out, samples.data(), std::min(samples.size(), capacity) * sizeof(float));
  }
  return samples.size();
}

TARVIX_PROBE_API void tarvix_standin_fail_next_initialize(uint32_t n) {
  auto& lib = library();
  std::lock_guard lock(lib.lock);
  lib.fail_initialize = n;
}

TARVIX_PROBE_API void tarvix_standin_fail_next_send_create(uint32_t n) {
  auto& lib = library();
  std::lock_guard lock(lib.lock);
  lib.fail_send_create = n;
}

TARVIX_PROBE_API void tarvix_standin_pause(int32_t call, int32_t paused) {
  if (!valid_call(call)) return;
  auto& lib = library();
  std::lock_guard lock(lib.pause_lock);
  lib.paused[call] = paused != 0;
  lib.pause_changed.notify_all();
}

TARVIX_PROBE_API int tarvix_standin_wait_paused(int32_t call, uint32_t n) {
  if (!valid_call(call)) return 0;
  auto& lib = library();
  std::unique_lock lock(lib.pause_lock);
  // A bound, so a broken test fails instead of hanging.
  return lib.pause_changed.wait_for(lock, std::chrono::seconds(10),
                                    [&] { return lib.waiting[call] >= n; })
             ? 1
             : 0;
}

}  // extern "C"
