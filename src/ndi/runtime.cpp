#include "ndi/runtime.h"

#include <condition_variable>
#include <mutex>
#include <new>

#include "ndi/sdk.h"

namespace tarvix::ndi {
namespace {

struct LibraryState {
  std::mutex lock;
  std::condition_variable changed;
  RuntimeState state = RuntimeState::Uninitialized;
  uint64_t references = 0;
  uint64_t waiting = 0;
};

// Created on first use and never destroyed: senders may still be alive while
// static destructors run at process exit.
LibraryState& library() {
  alignas(LibraryState) static unsigned char storage[sizeof(LibraryState)];
  static LibraryState* state = ::new (storage) LibraryState();
  return *state;
}

}  // namespace

Result<NdiRuntime, NdiError> NdiRuntime::acquire() {
  LibraryState& lib = library();
  std::unique_lock lock(lib.lock);
  for (;;) {
    switch (lib.state) {
      case RuntimeState::Initialized:
        ++lib.references;
        return NdiRuntime();
      case RuntimeState::Initializing:
      case RuntimeState::Destroying:
        ++lib.waiting;
        lib.changed.wait(lock);
        --lib.waiting;
        continue;
      case RuntimeState::Uninitialized:
      case RuntimeState::Failed:
        break;
    }
    lib.state = RuntimeState::Initializing;
    lock.unlock();
    const bool started = NDIlib_initialize();
    lock.lock();
    lib.state = started ? RuntimeState::Initialized : RuntimeState::Failed;
    lib.changed.notify_all();
    if (!started) return Err{NdiError::initialization_failed("NDIlib_initialize failed")};
    lib.references = 1;
    return NdiRuntime();
  }
}

NdiRuntime& NdiRuntime::operator=(NdiRuntime&& other) noexcept {
  if (this != &other) {
    release();
    held_ = other.held_;
    other.held_ = false;
  }
  return *this;
}

void NdiRuntime::release() noexcept {
  if (!held_) return;
  held_ = false;
  LibraryState& lib = library();
  std::unique_lock lock(lib.lock);
  if (lib.state != RuntimeState::Initialized || lib.references == 0) {
    fatal("NDI runtime released more often than acquired");
  }
  if (--lib.references > 0) return;
  lib.state = RuntimeState::Destroying;
  lock.unlock();
  NDIlib_destroy();
  lock.lock();
  lib.state = RuntimeState::Uninitialized;
  lib.changed.notify_all();
}

RuntimeSnapshot runtime_snapshot() {
  LibraryState& lib = library();
  std::lock_guard lock(lib.lock);
  return {lib.state, lib.references, lib.waiting};
}

}  // namespace tarvix::ndi
