// The running outputs' capture controls by output id. Start holds the lock
// for the whole start and stop for the whole stop after its first step, so
// every access goes through a Locked view that owns the lock.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "capture/capture_control.h"
#include "ndi/runtime.h"

namespace tarvix::addon {

class CaptureRegistry {
  using Controls = std::unordered_map<std::string, capture::CaptureControl>;

 public:
  class Locked {
   public:
    bool contains(const std::string& id) const { return registry_->controls_.contains(id); }
    void insert(const std::string& id, capture::CaptureControl control);
    std::optional<capture::CaptureControl> remove(const std::string& id);
    // Keeps the NDI library initialised for the rest of the process once an
    // output has got as far as creating its sender, so stopping the last
    // output does not tear the library down and start it again on the next
    // start. One reference is enough; later ones are given back.
    void keep_runtime(ndi::NdiRuntime runtime);

   private:
    friend class CaptureRegistry;
    explicit Locked(CaptureRegistry& registry) : registry_(&registry), lock_(registry.mutex_) {}

    CaptureRegistry* registry_;
    std::unique_lock<std::mutex> lock_;
  };

  // The process-wide registry.
  static CaptureRegistry& instance();

  Locked lock() { return Locked(*this); }

 private:
  std::mutex mutex_;
  Controls controls_;
  std::optional<ndi::NdiRuntime> kept_runtime_;
};

}  // namespace tarvix::addon
