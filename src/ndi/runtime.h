// Keeps the NDI library initialised while any part of the process needs it.
// An NdiRuntime is a token for one reference on the process-wide library
// state; the first reference initialises the library, the last one destroys
// it. Safe from any thread.
#pragma once

#include <cstdint>

#include "ndi/error.h"
#include "support/result.h"

namespace tarvix::ndi {

enum class RuntimeState : uint8_t { Uninitialized, Initializing, Initialized, Destroying, Failed };

class NdiRuntime {
 public:
  // Fails with InitializationFailed("NDIlib_initialize failed"); then no
  // reference is held and the next acquire tries again.
  static Result<NdiRuntime, NdiError> acquire();

  NdiRuntime(NdiRuntime&& other) noexcept : held_(other.held_) { other.held_ = false; }
  NdiRuntime& operator=(NdiRuntime&& other) noexcept;
  NdiRuntime(const NdiRuntime&) = delete;
  NdiRuntime& operator=(const NdiRuntime&) = delete;
  ~NdiRuntime() { release(); }

 private:
  NdiRuntime() = default;
  void release() noexcept;

  bool held_ = true;  // false once moved from
};

// A consistent look at the library state, for diagnostics and tests.
struct RuntimeSnapshot {
  RuntimeState state = RuntimeState::Uninitialized;
  uint64_t references = 0;
  uint64_t waiting = 0;  // threads waiting for an initialise or destroy to finish
};

RuntimeSnapshot runtime_snapshot();

}  // namespace tarvix::ndi
