// Storage for the process-wide registries: built on first use, never
// destroyed. Outputs still running at exit are not stopped by the module, so
// their controls and senders must not be torn down by static destructors
// while capture threads may still use them.
#pragma once

#include <new>

namespace tarvix::addon {

template <class T>
T& process_wide() {
  alignas(T) static unsigned char storage[sizeof(T)];
  static T* object = ::new (storage) T();
  return *object;
}

}  // namespace tarvix::addon
