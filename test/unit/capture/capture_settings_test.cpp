#include "capture/capture_settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "capture/platform/platform_error.h"

namespace tarvix::capture {
namespace {

TEST(MinUpdateIntervalTicks, ConvertsTo100NanosecondTicksTruncatingAndClamping) {
  EXPECT_EQ(to_ticks({1, 500'000'000}), 15'000'000);
  EXPECT_EQ(to_ticks({0, 250}), 2);
  EXPECT_EQ(to_ticks({0, 99}), 0);
  // Nanoseconds overflow 64 bits here though the ticks do not.
  EXPECT_EQ(to_ticks({20'000'000'000ull, 0}), 200'000'000'000'000'000);
  // Beyond the tick range the duration clamps.
  EXPECT_EQ(to_ticks({std::numeric_limits<std::uint64_t>::max(), 999'999'999}),
            std::numeric_limits<std::int64_t>::max());
  EXPECT_GT(to_ticks({922'337'203'685ull, 0}), 0);
}

TEST(CaptureErrorTexts, PlatformErrorWithoutMessageStillNamesTheCode) {
  EXPECT_EQ(platform::display({platform::kInvalidThreadId, {}}),
            "Invalid thread identifier. (0x800705A4)");
  EXPECT_EQ(platform::display({platform::hresult(0x80990001), {}}), "Unknown error (0x80990001)");
}

}  // namespace
}  // namespace tarvix::capture
