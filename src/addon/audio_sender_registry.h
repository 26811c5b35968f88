// The senders of the running outputs by output id, for the audio path.
// Every call takes the registry's mutex only for the map operation; handles
// that leave the map are dropped by the caller after the lock is released.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "ndi/sender.h"

namespace tarvix::addon {

class AudioSenderRegistry {
 public:
  // The process-wide registry.
  static AudioSenderRegistry& instance();

  // Returns the handle that was stored under the id before, if any.
  std::optional<ndi::NdiSender> insert(const std::string& id, ndi::NdiSender sender);
  std::optional<ndi::NdiSender> remove(const std::string& id);
  // A new handle of the id's sender; it keeps the sender alive after the
  // lock is gone.
  std::optional<ndi::NdiSender> find(const std::string& id) const;

 private:
  mutable std::mutex mutex_;
  std::unordered_map<std::string, ndi::NdiSender> senders_;
};

}  // namespace tarvix::addon
