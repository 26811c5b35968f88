#include "support/thread_name.h"

#ifdef _WIN32
#include <windows.h>

#include <string>
#else
#include <pthread.h>

#include <cstring>
#endif

namespace tarvix {

void set_current_thread_name(const char* name) noexcept {
#ifdef _WIN32
  // Looked up at run time: older mingw headers do not declare it, and a
  // missing export must not stop the module from loading.
  using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription");
  if (found == nullptr) return;
  const auto set = reinterpret_cast<SetDescription>(reinterpret_cast<void (*)()>(found));
  std::wstring wide(name, name + std::char_traits<char>::length(name));
  set(GetCurrentThread(), wide.c_str());
#else
  char shortened[16] = {};
  std::strncpy(shortened, name, sizeof shortened - 1);
  pthread_setname_np(pthread_self(), shortened);
#endif
}

}  // namespace tarvix
