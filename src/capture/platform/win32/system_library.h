// A system DLL loaded at run time, for functions that not every Windows (or
// not mingw-w64's import libraries) provides: a missing DLL or export is an
// error value, never a module that fails to load.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "capture/platform/platform_error.h"

namespace tarvix::capture::platform::win32 {

class SystemLibrary {
 public:
  // Loads from the system directory only. Shared: whatever a function of
  // the library made keeps the library loaded while it lives.
  static PlatformResult<std::shared_ptr<SystemLibrary>> load(const wchar_t* name);

  SystemLibrary(const SystemLibrary&) = delete;
  SystemLibrary& operator=(const SystemLibrary&) = delete;
  ~SystemLibrary();

  template <class Function>
  PlatformResult<Function> function(const char* name) const {
    auto found = address(name);
    if (!found) return Err{std::move(found).error()};
    // Through void(*)(): the one function pointer type any other converts to.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found.value()));
  }

 private:
  SystemLibrary(HMODULE module, std::string name) : module_(module), name_(std::move(name)) {}
  PlatformResult<FARPROC> address(const char* name) const;

  HMODULE module_;
  std::string name_;
};

}  // namespace tarvix::capture::platform::win32
