#include <dlfcn.h>

#include <bit>

#include "napi/host_library.h"

namespace tarvix::napi {
namespace {

// A libnode loaded here must never be unloaded again: the binding table keeps
// pointers into it after the handle is released.
constexpr int kLoadFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;

constexpr HostCandidate kCandidates[] = {
    {HostCandidate::Mode::MainProgram, nullptr},
    {HostCandidate::Mode::AlreadyLoaded, "libnode.so"},
    {HostCandidate::Mode::LoadByName, "libnode.so"},
};

void* open_candidate(const HostCandidate& candidate) noexcept {
  switch (candidate.mode) {
    case HostCandidate::Mode::MainProgram:
      return dlopen(nullptr, RTLD_NOW | RTLD_LOCAL);
    case HostCandidate::Mode::AlreadyLoaded:
      return dlopen(candidate.name, kLoadFlags | RTLD_NOLOAD);
    case HostCandidate::Mode::LoadByName:
      return dlopen(candidate.name, kLoadFlags);
  }
  return nullptr;
}

std::string describe(const HostCandidate& candidate) {
  const std::string name = candidate.name ? candidate.name : "main program";
  return candidate.mode == HostCandidate::Mode::AlreadyLoaded ? name + " (if loaded)" : name;
}

std::string loader_error() {
  const char* text = dlerror();
  return text ? text : "not loaded";
}

}  // namespace

HostLibrary::~HostLibrary() {
  if (handle_) dlclose(handle_);
}

HostFunction HostLibrary::find(const char* name) const noexcept {
  return std::bit_cast<HostFunction>(dlsym(handle_, name));
}

std::span<const HostCandidate> host_candidates() noexcept {
  return kCandidates;
}

Result<HostLibrary, std::string> open_host(std::span<const HostCandidate> candidates) {
  std::string refusals;
  for (const HostCandidate& candidate : candidates) {
    dlerror();
    void* handle = open_candidate(candidate);
    std::string why;
    if (!handle) {
      why = loader_error();
    } else {
      HostLibrary library(handle);
      if (library.find("napi_create_int32")) return library;
      why = loader_error();
    }
    refusals += (refusals.empty() ? "" : "; ") + describe(candidate) + ": " + why;
  }
  return Err{refusals.empty() ? std::string("no candidates") : refusals};
}

}  // namespace tarvix::napi
