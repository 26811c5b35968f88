#include "addon/capture_registry.h"

#include <utility>

#include "addon/process_wide.h"

namespace tarvix::addon {

CaptureRegistry& CaptureRegistry::instance() {
  return process_wide<CaptureRegistry>();
}

void CaptureRegistry::Locked::insert(const std::string& id, capture::CaptureControl control) {
  const bool inserted = registry_->controls_.try_emplace(id, std::move(control)).second;
  // Start only inserts ids it found absent under the same lock.
  if (!inserted) fatal("an output id was registered twice");
}

std::optional<capture::CaptureControl> CaptureRegistry::Locked::remove(const std::string& id) {
  auto it = registry_->controls_.find(id);
  if (it == registry_->controls_.end()) return std::nullopt;
  capture::CaptureControl control = std::move(it->second);
  registry_->controls_.erase(it);
  return control;
}

void CaptureRegistry::Locked::keep_runtime(ndi::NdiRuntime runtime) {
  if (!registry_->kept_runtime_) registry_->kept_runtime_.emplace(std::move(runtime));
}

}  // namespace tarvix::addon
