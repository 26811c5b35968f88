// The C++ runtime is linked into the module, and its random_device refers to
// arc4random, which glibc exports only from 2.36 on. The module never makes a
// random_device, so this local, hidden definition only keeps the module
// loadable on glibc 2.35 (Ubuntu 22.04 and its kin).
#include <sys/random.h>

#include <cerrno>
#include <cstdint>

extern "C" __attribute__((visibility("hidden"))) std::uint32_t arc4random() noexcept {
  std::uint32_t value = 0;
  while (getrandom(&value, sizeof value, 0) < 0 && errno == EINTR) {
  }
  return value;
}
