#include "capture/platform/win32/system_library.h"

#include "capture/platform/win32/hresult_error.h"

namespace tarvix::capture::platform::win32 {
namespace {

std::string narrow(const wchar_t* name) {
  std::string out;
  for (const wchar_t* c = name; *c; ++c)
    out.push_back(*c < 0x80 ? static_cast<char>(*c) : '?');
  return out;
}

}  // namespace

PlatformResult<std::shared_ptr<SystemLibrary>> SystemLibrary::load(const wchar_t* name) {
  // No "insert disk" or missing-file dialog for a library that is not there.
  DWORD previous_mode = 0;
  const BOOL mode_set = SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous_mode);
  HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  const DWORD error = module ? ERROR_SUCCESS : GetLastError();
  if (mode_set) SetThreadErrorMode(previous_mode, nullptr);
  if (!module) {
    const HRESULT code = HRESULT_FROM_WIN32(error == ERROR_SUCCESS ? ERROR_MOD_NOT_FOUND : error);
    std::string message = narrow(name) + " could not be loaded";
    if (std::string reason = system_message(code); !reason.empty()) message += ": " + reason;
    return Err{PlatformError{static_cast<Hresult>(code), std::move(message)}};
  }
  return std::shared_ptr<SystemLibrary>(new SystemLibrary(module, narrow(name)));
}

SystemLibrary::~SystemLibrary() {
  FreeLibrary(module_);
}

PlatformResult<FARPROC> SystemLibrary::address(const char* name) const {
  if (FARPROC found = GetProcAddress(module_, name)) return found;
  return Err{PlatformError{static_cast<Hresult>(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND)),
                           std::string(name) + " is not exported by " + name_}};
}

}  // namespace tarvix::capture::platform::win32
