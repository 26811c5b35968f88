// What a capture is asked to do. Built by the starter, moved to the capture
// thread. Every option left at Default is neither checked nor set, so the
// platform's own default applies.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "capture/capture_handler.h"
#include "capture/platform/types.h"

namespace tarvix::capture {

enum class CursorSetting : std::uint8_t { Default = 0, On = 1, Off = 2 };
enum class BorderSetting : std::uint8_t { Default = 0, On = 1, Off = 2 };
enum class SecondaryWindowsSetting : std::uint8_t { Default = 0, On = 1, Off = 2 };
enum class DirtyRegionSetting : std::uint8_t { Default = 0, ReportOnly = 1, ReportAndRender = 2 };

struct Duration {
  std::uint64_t seconds = 0;
  std::uint32_t nanoseconds = 0;  // below 1 000 000 000
};

struct MinUpdateIntervalSetting {
  std::optional<Duration> custom;  // empty: Default

  static MinUpdateIntervalSetting Default() { return {}; }
  static MinUpdateIntervalSetting Custom(Duration duration) { return {duration}; }
};

// The duration in 100 ns ticks, truncated. Durations beyond what a signed
// 64-bit tick count holds (about 29 000 years) are clamped to its maximum
// rather than wrapped into a negative interval.
platform::TimeSpanTicks to_ticks(Duration duration);

struct CaptureSettings {
  platform::WindowHandle window = 0;
  CursorSetting cursor = CursorSetting::Default;
  BorderSetting border = BorderSetting::Default;
  SecondaryWindowsSetting secondary_windows = SecondaryWindowsSetting::Default;
  MinUpdateIntervalSetting min_update_interval;
  DirtyRegionSetting dirty_region = DirtyRegionSetting::Default;
  platform::PixelFormat pixel_format = platform::kPixelFormatBgra8;
  // Makes the handler on the capture thread. It owns the handler's flags
  // (for the NDI output, a handle of its sender); the capture thread
  // destroys it right after use, and on every failure before it reports.
  HandlerFactory handler_factory;
};

}  // namespace tarvix::capture
