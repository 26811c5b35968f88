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
  std::wstring wide(name, name + std::char_traits<char>::length(name));
  SetThreadDescription(GetCurrentThread(), wide.c_str());
#else
  char shortened[16] = {};
  std::strncpy(shortened, name, sizeof shortened - 1);
  pthread_setname_np(pthread_self(), shortened);
#endif
}

}  // namespace tarvix
