#include "addon/audio_sender_registry.h"

#include <utility>

#include "addon/process_wide.h"

namespace tarvix::addon {

AudioSenderRegistry& AudioSenderRegistry::instance() {
  return process_wide<AudioSenderRegistry>();
}

std::optional<ndi::NdiSender> AudioSenderRegistry::insert(const std::string& id,
                                                          ndi::NdiSender sender) {
  std::lock_guard lock(mutex_);
  auto [it, inserted] = senders_.try_emplace(id, sender);
  if (inserted) return std::nullopt;
  return std::exchange(it->second, std::move(sender));
}

std::optional<ndi::NdiSender> AudioSenderRegistry::remove(const std::string& id) {
  std::lock_guard lock(mutex_);
  auto it = senders_.find(id);
  if (it == senders_.end()) return std::nullopt;
  ndi::NdiSender sender = std::move(it->second);
  senders_.erase(it);
  return sender;
}

std::optional<ndi::NdiSender> AudioSenderRegistry::find(const std::string& id) const {
  std::lock_guard lock(mutex_);
  auto it = senders_.find(id);
  if (it == senders_.end()) return std::nullopt;
  return it->second;
}

}  // namespace tarvix::addon
