#include "library.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace tarvix::standin {

Library& library() {
  // Never destroyed: SDK calls may still arrive while static destructors run.
  alignas(Library) static unsigned char storage[sizeof(Library)];
  static Library* state = ::new (storage) Library();
  return *state;
}

bool Library::keep_video_bytes_default() {
  const char* setting = std::getenv("TARVIX_STANDIN_VIDEO_BYTES");
  return setting == nullptr || std::strcmp(setting, "off") != 0;
}

void Library::log(tarvix_standin_call call, uint64_t instance) {
  calls.push_back({static_cast<int32_t>(call), instance});
  if (calls.size() > kCallLogSize) calls.pop_front();
  ++calls_logged;
}

std::shared_ptr<Instance> Library::find_live(NDIlib_send_instance_t handle) {
  const auto found = live.find(handle);
  return found == live.end() ? nullptr : found->second;
}

std::shared_ptr<Instance> Library::find_listed(uint64_t id) {
  std::lock_guard guard(lock);
  if (id == 0 || id > listed.size()) return nullptr;
  return listed[id - 1];
}

void Library::pause_point(tarvix_standin_call call) {
  std::unique_lock guard(pause_lock);
  if (!paused[call]) return;
  ++waiting[call];
  pause_changed.notify_all();
  pause_changed.wait(guard, [&] { return !paused[call]; });
  --waiting[call];
}

}  // namespace tarvix::standin
