#include "capture/capture_settings.h"

#include <limits>

namespace tarvix::capture {

platform::TimeSpanTicks to_ticks(Duration duration) {
  __extension__ typedef unsigned __int128 u128;  // 64-bit seconds times 1e9 overflows 64 bits
  const u128 nanoseconds = u128{duration.seconds} * 1'000'000'000u + duration.nanoseconds;
  const u128 ticks = nanoseconds / 100u;
  constexpr auto max = std::numeric_limits<platform::TimeSpanTicks>::max();
  if (ticks > static_cast<u128>(max)) return max;
  return static_cast<platform::TimeSpanTicks>(ticks);
}

}  // namespace tarvix::capture
