#include <windows.h>

#include <string>

#include "napi/host_library.h"

namespace tarvix::napi {
namespace {

constexpr HostCandidate kCandidates[] = {
    {HostCandidate::Mode::MainProgram, nullptr},  {HostCandidate::Mode::AlreadyLoaded, "libnode"},
    {HostCandidate::Mode::AlreadyLoaded, "node"}, {HostCandidate::Mode::LoadByName, "node"},
    {HostCandidate::Mode::LoadByName, "libnode"},
};

std::wstring widen(const char* ascii) {
  std::wstring wide;
  for (const char* c = ascii; *c; ++c)
    wide.push_back(static_cast<wchar_t>(*c));
  return wide;
}

std::string error_text(DWORD code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string result = length ? std::string(text, length) : "error " + std::to_string(code);
  if (text) LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r'))
    result.pop_back();
  return result;
}

// Loads by name without letting a missing or broken file raise a dialog.
HMODULE load_quietly(const std::wstring& name, DWORD& error) {
  DWORD previous_mode = 0;
  const BOOL mode_set = SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous_mode);
  HMODULE module = LoadLibraryExW(name.c_str(), nullptr, 0);
  error = module ? ERROR_SUCCESS : GetLastError();
  if (mode_set) SetThreadErrorMode(previous_mode, nullptr);
  return module;
}

HMODULE open_candidate(const HostCandidate& candidate, DWORD& error) {
  HMODULE module = nullptr;
  switch (candidate.mode) {
    case HostCandidate::Mode::MainProgram:
      if (!GetModuleHandleExW(0, nullptr, &module)) error = GetLastError();
      return module;
    case HostCandidate::Mode::AlreadyLoaded:
      if (!GetModuleHandleExW(0, widen(candidate.name).c_str(), &module)) error = GetLastError();
      return module;
    case HostCandidate::Mode::LoadByName:
      return load_quietly(widen(candidate.name), error);
  }
  return nullptr;
}

// A module that only this search loaded must stay loaded: the binding table
// keeps pointers into it after the handle is released.
void pin(const HostCandidate& candidate) {
  if (candidate.mode != HostCandidate::Mode::LoadByName) return;
  HMODULE pinned = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, widen(candidate.name).c_str(), &pinned);
}

std::string describe(const HostCandidate& candidate) {
  const std::string name = candidate.name ? candidate.name : "main program";
  return candidate.mode == HostCandidate::Mode::AlreadyLoaded ? name + " (if loaded)" : name;
}

}  // namespace

HostLibrary::~HostLibrary() {
  if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
}

HostFunction HostLibrary::find(const char* name) const noexcept {
  return reinterpret_cast<HostFunction>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

std::span<const HostCandidate> host_candidates() noexcept {
  return kCandidates;
}

Result<HostLibrary, std::string> open_host(std::span<const HostCandidate> candidates) {
  std::string refusals;
  for (const HostCandidate& candidate : candidates) {
    DWORD error = ERROR_SUCCESS;
    HMODULE module = open_candidate(candidate, error);
    if (module) {
      HostLibrary library(module);
      if (library.find("napi_create_int32")) {
        pin(candidate);
        return library;
      }
      error = GetLastError();
    }
    refusals += (refusals.empty() ? "" : "; ") + describe(candidate) + ": " + error_text(error);
  }
  return Err{refusals.empty() ? std::string("no candidates") : refusals};
}

}  // namespace tarvix::napi
