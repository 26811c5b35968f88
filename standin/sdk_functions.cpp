// The seven SDK functions, with the real runtime's signatures. Each records
// what it was given and does nothing on a network.
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "dump.h"
#include "library.h"

namespace {

using tarvix::standin::Instance;
using tarvix::standin::library;

// Nothing may unwind into the caller's C frames.
template <class F>
auto guarded(const char* function, F&& body) noexcept -> decltype(body()) {
  try {
    return body();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "stand-in NDI runtime: %s failed: %s\n", function, e.what());
  } catch (...) {
    std::fprintf(stderr, "stand-in NDI runtime: %s failed\n", function);
  }
  std::abort();
}

NDIlib_send_instance_t handle_of(const Instance& instance) {
  return reinterpret_cast<NDIlib_send_instance_t>(const_cast<Instance*>(&instance));
}

// Logs the call and returns the live instance, or counts a misuse.
std::shared_ptr<Instance> enter_send(tarvix_standin_call call, NDIlib_send_instance_t handle) {
  auto& lib = library();
  std::lock_guard lock(lib.lock);
  auto instance = lib.find_live(handle);
  if (!instance) ++lib.misuse;
  lib.log(call, instance ? instance->id : 0);
  return instance;
}

void count_misuse() {
  auto& lib = library();
  std::lock_guard lock(lib.lock);
  ++lib.misuse;
}

// Initialise and destroy must never overlap; the stand-in counts it if they do.
void enter_library_call(tarvix_standin_call call) {
  auto& lib = library();
  {
    std::lock_guard lock(lib.lock);
    if (lib.in_library_call > 0) ++lib.misuse;
    ++lib.in_library_call;
    ++(call == TARVIX_CALL_INITIALIZE ? lib.initialize_calls : lib.destroy_calls);
    lib.log(call, 0);
  }
  lib.pause_point(call);
}

}  // namespace

extern "C" {

NDIlib_API bool NDIlib_initialize(void) {
  return guarded("NDIlib_initialize", [] {
    enter_library_call(TARVIX_CALL_INITIALIZE);
    auto& lib = library();
    std::lock_guard lock(lib.lock);
    --lib.in_library_call;
    if (lib.fail_initialize > 0) {
      --lib.fail_initialize;
      return false;
    }
    lib.initialized = true;
    return true;
  });
}

NDIlib_API void NDIlib_destroy(void) {
  guarded("NDIlib_destroy", [] {
    enter_library_call(TARVIX_CALL_DESTROY);
    auto& lib = library();
    std::lock_guard lock(lib.lock);
    --lib.in_library_call;
    if (!lib.live.empty()) ++lib.misuse;  // senders outliving the library
    lib.initialized = false;
  });
}

NDIlib_API NDIlib_send_instance_t NDIlib_send_create(const NDIlib_send_create_t* settings) {
  return guarded("NDIlib_send_create", [settings]() -> NDIlib_send_instance_t {
    auto& lib = library();
    lib.pause_point(TARVIX_CALL_SEND_CREATE);
    std::lock_guard lock(lib.lock);
    if (settings == nullptr || !lib.initialized) ++lib.misuse;
    if (settings == nullptr || lib.fail_send_create > 0) {
      if (settings != nullptr) --lib.fail_send_create;
      lib.log(TARVIX_CALL_SEND_CREATE, 0);
      return nullptr;
    }
    auto instance = std::make_shared<Instance>(lib.listed.size() + 1, *settings);
    lib.listed.push_back(instance);
    lib.live.emplace(instance.get(), instance);
    lib.log(TARVIX_CALL_SEND_CREATE, instance->id);
    return handle_of(*instance);
  });
}

NDIlib_API void NDIlib_send_destroy(NDIlib_send_instance_t handle) {
  guarded("NDIlib_send_destroy", [handle] {
    auto& lib = library();
    lib.pause_point(TARVIX_CALL_SEND_DESTROY);
    std::shared_ptr<Instance> instance;
    {
      std::lock_guard lock(lib.lock);
      instance = lib.find_live(handle);
      if (!instance) ++lib.misuse;
      lib.log(TARVIX_CALL_SEND_DESTROY, instance ? instance->id : 0);
      lib.live.erase(handle);
      // An instance from before a probe reset is no longer listed.
      if (instance && instance->id <= lib.listed.size() &&
          lib.listed[instance->id - 1] == instance) {
        lib.destroyed.push_back(instance->id);
        if (lib.destroyed.size() > tarvix::standin::kDestroyedKept) {
          lib.listed[lib.destroyed.front() - 1].reset();
          lib.destroyed.pop_front();
        }
      }
    }
    if (!instance) return;
    instance->record_destroy();
    tarvix::standin::dump_if_due(*instance, true);
    instance->forget_media();
  });
}

NDIlib_API void NDIlib_send_send_video_v2(NDIlib_send_instance_t handle,
                                          const NDIlib_video_frame_v2_t* frame) {
  guarded("NDIlib_send_send_video_v2", [handle, frame] {
    library().pause_point(TARVIX_CALL_SEND_VIDEO);
    auto instance = enter_send(TARVIX_CALL_SEND_VIDEO, handle);
    if (!instance) return;
    if (frame == nullptr || !instance->record_video(*frame, library().keep_video_bytes))
      return count_misuse();
    tarvix::standin::dump_if_due(*instance, false);
  });
}

NDIlib_API void NDIlib_send_send_video_async_v2(NDIlib_send_instance_t handle,
                                                const NDIlib_video_frame_v2_t* frame) {
  guarded("NDIlib_send_send_video_async_v2", [handle, frame] {
    library().pause_point(TARVIX_CALL_FLUSH);
    auto instance = enter_send(TARVIX_CALL_FLUSH, handle);
    if (!instance) return;
    // The module only ever flushes; an asynchronous frame would have to stay
    // valid after the call, which the module does not promise.
    if (frame != nullptr) return count_misuse();
    instance->record_flush();
  });
}

NDIlib_API void NDIlib_send_send_audio_v3(NDIlib_send_instance_t handle,
                                          const NDIlib_audio_frame_v3_t* frame) {
  guarded("NDIlib_send_send_audio_v3", [handle, frame] {
    library().pause_point(TARVIX_CALL_SEND_AUDIO);
    auto instance = enter_send(TARVIX_CALL_SEND_AUDIO, handle);
    if (!instance) return;
    if (frame == nullptr || !instance->record_audio(*frame)) return count_misuse();
    tarvix::standin::dump_if_due(*instance, false);
  });
}

}  // extern "C"
