// The module of the host process that provides Node-API, found among a list
// of candidates and released when the binding is done.
#pragma once

#include <span>
#include <string>

#include "napi/binding_table.h"
#include "support/result.h"

namespace tarvix::napi {

struct HostCandidate {
  enum class Mode {
    MainProgram,    // the process's own executable; `name` is unused
    AlreadyLoaded,  // a module of that name only if the process has it already
    LoadByName,     // the module of that name, loaded if need be
  };
  Mode mode;
  const char* name;
};

class HostLibrary {
 public:
  explicit HostLibrary(void* handle) noexcept : handle_(handle) {}
  HostLibrary(HostLibrary&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  HostLibrary& operator=(HostLibrary&&) = delete;
  HostLibrary(const HostLibrary&) = delete;
  HostLibrary& operator=(const HostLibrary&) = delete;
  ~HostLibrary();

  // Null when the module does not export `name`.
  HostFunction find(const char* name) const noexcept;

 private:
  void* handle_;
};

// This platform's candidates, in the order they are tried.
std::span<const HostCandidate> host_candidates() noexcept;

// The first candidate that exports napi_create_int32, or the loader's account
// of why each one was refused.
Result<HostLibrary, std::string> open_host(std::span<const HostCandidate> candidates);

}  // namespace tarvix::napi
