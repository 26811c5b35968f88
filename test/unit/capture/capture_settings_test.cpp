#include "capture/capture_settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "capture/capture_error.h"
#include "capture/frame_error.h"

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

TEST(CaptureErrorTexts, NestEachLayersPrefix) {
  const auto device = CaptureError::service_failed(
      CaptureServiceError::device_failed(DeviceError::null_result(kMissingDevice)));
  EXPECT_EQ(display(device),
            "Graphics capture error: DirectX error: Windows API succeeded but did not return an "
            "`ID3D11Device`");

  const platform::PlatformError denied{platform::hresult(0x80070005), "Access is denied."};
  EXPECT_EQ(display(FrameError::directx(DeviceError::windows(denied))),
            "DirectX error: Windows API Error: Access is denied. (0x80070005)");
  EXPECT_EQ(display(FrameError::windows(denied)),
            "Windows API error: Access is denied. (0x80070005)");
  EXPECT_EQ(display(CaptureServiceError::window_failed(WindowError{{}, denied})),
            "Window error: A Windows API call failed: Access is denied. (0x80070005)");
}

TEST(CaptureErrorTexts, PlatformErrorWithoutMessageStillNamesTheCode) {
  EXPECT_EQ(platform::display({platform::kInvalidThreadId, {}}),
            "Invalid thread identifier. (0x800705A4)");
  EXPECT_EQ(platform::display({platform::hresult(0x80990001), {}}), "Unknown error (0x80990001)");
}

}  // namespace
}  // namespace tarvix::capture
